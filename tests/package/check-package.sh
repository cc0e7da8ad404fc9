#!/usr/bin/env bash
# Builds the Debian package from a built build folder (default: build) into a temporary folder and
# checks it without installing it: lintian, the files, the programs' --help and --version, the
# AppStream metadata, the systemd units and the manual pages. Exits 0 when the package is right or
# a tool it needs is missing (it says which), 1 otherwise.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")

for tool in cpack dpkg-deb dpkg-parsechangelog lintian appstreamcli systemd-analyze man setpriv; do
  command -v "$tool" >/dev/null ||
    { echo "package check skipped: $tool not installed (scripts/common.sh installs it)"; exit 0; }
done

failures=0
fail() { echo "package check: $*" >&2; failures=$((failures + 1)); }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$tmp/out/marovellastrine_${version}_$(dpkg --print-architecture).deb"
(cd "$build" && cpack -G DEB -B "$tmp/out") >"$tmp/cpack.log" 2>&1 && [ -f "$deb" ] ||
  { cat "$tmp/cpack.log" >&2; echo "package check: cpack made no $(basename "$deb")" >&2; exit 1; }
echo "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"

# Control fields: dependencies computed from the programs' libraries, gpsd recommended.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries"
[ "$(dpkg-deb -f "$deb" Recommends)" = gpsd ] || fail "gpsd is not recommended"

# The three programs and nothing built only for tests, benchmarks or fuzzing. The metainfo, the
# copyright, the changelog and the units are looked at below.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$tmp/files"
programs=$(grep '^/usr/bin/.' "$tmp/files" | sort | tr '\n' ' ' || true)
[ "$programs" = "/usr/bin/marovellastrine /usr/bin/marovellastrine-skin /usr/bin/marovellastrine-sync " ] ||
  fail "programs in /usr/bin: $programs"
for wanted in /usr/share/applications/marovellastrine.desktop \
  /usr/share/icons/hicolor/scalable/apps/marovellastrine.svg \
  /usr/share/marovellastrine/help/Marovellastrine.htm \
  /usr/share/marovellastrine/skins/default_240.scs /usr/share/marovellastrine/skins/default_1440.scs; do
  grep -qxF "$wanted" "$tmp/files" || fail "missing $wanted"
done
if grep -E '/(test_|bench_|fuzz|store_crash|marovellastrine-(make-skins|nmea|x11|bind))|\.so$' "$tmp/files"; then
  fail "test, benchmark or build-time helpers, or the VNC preload, are in the package"
fi
[ -z "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'inst$|rm$')" ] ||
  fail "the package has maintainer scripts"

lintian_status=0
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || lintian_status=$?
grep -v '^running with root privileges' "$tmp/lintian.log" | sed 's/^/  lintian: /' || true
[ $lintian_status -eq 0 ] || fail "lintian reports errors"

root="$tmp/root"
dpkg-deb -x "$deb" "$root"

# --help and --version without a display: the clock must answer before Qt would look for one.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
    setpriv --bounding-set -sys_time "$root/usr/bin/$1" "${@:2}"
}
for program in marovellastrine marovellastrine-sync marovellastrine-skin; do
  output=$(run "$program" --version 2>&1) && [ "$output" = "$program $version" ] ||
    fail "$program --version said: $output"
  output=$(run "$program" --help 2>&1) && [[ $output == "usage: $program "* ]] ||
    fail "$program --help said: $output"
done

# The version stated in the changelog and the release notes is the project's.
[ "$(zcat "$root/usr/share/doc/marovellastrine/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ] ||
  fail "the changelog's latest entry is not $version"
metainfo="$root/usr/share/metainfo/example.tev.marovellastrine.metainfo.xml"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
# validate-tree also finds the desktop entry that <launchable> names.
{ appstreamcli validate --no-net "$metainfo" && appstreamcli validate-tree --no-net "$root"; } \
  >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "appstreamcli rejects the metainfo"; }
head -1 "$root/usr/share/doc/marovellastrine/copyright" |
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  fail "the copyright file is not in the machine-readable format"

# The units, as copies whose ExecStart= names the unpacked program; the template through an
# instance. Verify's warnings count: it exits 0 on them.
mkdir "$tmp/units"
for unit in marovellastrine-sync.service marovellastrine-kiosk@.service; do
  grep -q "^ExecStart=/usr/bin/marovellastrine" "$root/usr/lib/systemd/system/$unit" ||
    fail "$unit: ExecStart is not a program in /usr/bin"
  copy="$tmp/units/${unit/@./@clock.}"
  sed "s|^ExecStart=/|ExecStart=$root/|" "$root/usr/lib/systemd/system/$unit" >"$copy"
  systemd-analyze verify --man=no "$copy" >"$tmp/verify.log" 2>&1 && [ ! -s "$tmp/verify.log" ] ||
    { cat "$tmp/verify.log" >&2; fail "systemd-analyze rejects $unit"; }
done

for page in man1/marovellastrine.1 man8/marovellastrine-sync.8 man1/marovellastrine-skin.1; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/$page.gz" 2>&1 >/dev/null) &&
    [ -z "$warnings" ] || fail "man $page: $warnings"
done

[ $failures -eq 0 ] || { echo "package check: $failures problem(s)" >&2; exit 1; }
echo "package check passed"
