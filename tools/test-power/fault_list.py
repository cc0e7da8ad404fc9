#!/usr/bin/env python3
"""The deliberate faults of faults.txt: listing them, and placing one in a scratch copy of the tree.

  fault_list.py list FAULTS [ID...]       one line per fault: id<TAB>file<TAB>tests (space-separated)
  fault_list.py sync ROOT TREE            make TREE hold the source files of ROOT (tracked and
                                          untracked, not ignored); only files whose bytes differ are
                                          written, so the build in TREE/build stays incremental
  fault_list.py apply FAULTS ID TREE      replace the fault's search text in TREE/file; exit 3 when
                                          the text is not there, 4 when it is there more than once
"""
import os
import subprocess
import sys

FIELDS = ("id", "file", "search", "replace", "tests", "rule", "caught-by")


def read_faults(path):
    """Entries are blocks of `key: value` lines separated by blank lines; `#` lines are comments.
    One space after the colon belongs to the syntax, the rest of the line is the value verbatim."""
    faults, current = [], {}
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                if current:
                    faults.append(current)
                    current = {}
                continue
            key, colon, value = line.partition(":")
            if not colon or key not in FIELDS:
                sys.exit(f"{path}:{number}: expected one of {', '.join(FIELDS)}")
            current[key] = value[1:] if value.startswith(" ") else value
    if current:
        faults.append(current)
    ids = set()
    for fault in faults:
        missing = [f for f in ("id", "file", "search", "replace", "tests") if f not in fault]
        if missing:
            sys.exit(f"{path}: fault {fault.get('id', '?')} lacks {', '.join(missing)}")
        if fault["id"] in ids:
            sys.exit(f"{path}: fault id {fault['id']} used twice")
        ids.add(fault["id"])
    return faults


def list_faults(path, wanted):
    faults = read_faults(path)
    unknown = set(wanted) - {f["id"] for f in faults}
    if unknown:
        sys.exit(f"unknown fault id: {' '.join(sorted(unknown))}")
    for fault in faults:
        if not wanted or fault["id"] in wanted:
            print(f"{fault['id']}\t{fault['file']}\t{fault['tests']}")


def sync(root, tree):
    listed = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], check=True, capture_output=True).stdout
    wanted = {name for name in listed.decode().split("\0") if name and
              os.path.isfile(os.path.join(root, name))}
    for name in wanted:
        source, target = os.path.join(root, name), os.path.join(tree, name)
        with open(source, "rb") as f:
            data = f.read()
        try:
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
        os.chmod(target, os.stat(source).st_mode & 0o777)
    for folder, folders, names in os.walk(tree):
        if folder == tree:  # the build inside the copy is not a source file
            folders[:] = [f for f in folders if not f.startswith("build")]
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), tree)
            if relative not in wanted:
                os.remove(os.path.join(folder, name))


def apply(path, fault_id, tree):
    fault = next((f for f in read_faults(path) if f["id"] == fault_id), None)
    if fault is None:
        sys.exit(f"unknown fault id: {fault_id}")
    target = os.path.join(tree, fault["file"])
    try:
        with open(target, encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return 3
    count = text.count(fault["search"])
    if count != 1:
        return 3 if count == 0 else 4
    with open(target, "w", encoding="utf-8") as f:
        f.write(text.replace(fault["search"], fault["replace"]))
    return 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "list":
        list_faults(argv[1], argv[2:])
    elif len(argv) == 3 and argv[0] == "sync":
        sync(argv[1], argv[2])
    elif len(argv) == 4 and argv[0] == "apply":
        return apply(argv[1], argv[2], argv[3])
    else:
        sys.exit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
