#!/usr/bin/env python3
"""Writes the corpus of skin files used by the table-driven loader test, and expected.txt beside
them. Run once after changing it; the files are committed. Files found by the fuzzer are added by
hand (with a row in expected.txt) and are not touched by this script."""
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
MAGIC = b"TEV:: Marovellastrine Skin\n\r\0"
KEY = (255, 0, 255)


def png(width, height, pixels=None, declared=None):
    """An 8-bit RGB PNG; `declared` overrides the size written in IHDR."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    if pixels is None:
        pixels = [[(90, 100, 110)] * width for _ in range(height)]
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)
    w, h = declared or (width, height)
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def bmp(width, height, colour=(20, 40, 60), declared=None, with_pixels=True):
    """A 24-bit bottom-up BMP; `declared` overrides the size written in the header."""
    stride = (width * 3 + 3) // 4 * 4
    row = bytes(reversed(colour)) * width + b"\0" * (stride - width * 3)
    pixels = row * height if with_pixels else b""
    w, h = declared or (width, height)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def face_png():
    rows = [[(90, 100, 110)] * 8 for _ in range(6)]
    for x in range(4):
        rows[0][x] = KEY
    return png(8, 6, rows)


def parameters():
    """The 204-byte parameter block of an ordinary skin."""
    colour = lambda r, g, b: r | g << 8 | b << 16
    block = struct.pack("<III", colour(*KEY), colour(1, 2, 3), colour(4, 5, 6))
    block += struct.pack("<4i", 0, 1, 8, 6) + struct.pack("<4i", 4, 0, 6, 1)
    block += struct.pack("<4i", 6, 0, 7, 1) + struct.pack("<ii", 11, -12)
    shape = lambda c, tip, bw, tw, base, caps: struct.pack("<Ihhhhi", c, tip, bw, tw, base, caps)
    hands = [(shape(colour(10, 20, 30), 60, 3, 2, -10, 3), shape(0, 0, 0, 0, 0, 0), 4),
             (shape(colour(40, 50, 60), 40, 2, 1, 0, 0), shape(colour(70, 80, 90), 30, 1, 1, 0, 0), 3),
             (shape(colour(200, 0, 0), 50, 1, 1, -15, 0), shape(0, 0, 0, 0, 0, 0), 2)]
    for main, overlay, shadow in hands:
        block += main + overlay + struct.pack("<h6x", shadow)
    block += struct.pack("<hhiiI", 128, 2, -3, 5, 6)
    assert len(block) == 204
    return block


def skin(header_length=248, params=None, face=None, background=b"", face_offset=None,
         background_offset=None, trailing=b"", magic=MAGIC):
    params = parameters() if params is None else params
    face = face_png() if face is None else face
    preamble = bytearray(44)
    preamble[:len(magic)] = magic
    preamble[34] = header_length & 0xFF
    stored = params[:max(header_length - 44, 0)].ljust(max(header_length - 44, 0), b"\0")
    table_end = 44 + len(stored) + 8
    if face_offset is None:
        face_offset = table_end
    if background_offset is None:
        background_offset = table_end + len(face) if background else 0
    return (bytes(preamble) + stored + struct.pack("<II", face_offset, background_offset) + face
            + background + trailing)


def huge_hands():
    block = bytearray(parameters())
    block[68 + 80:68 + 96] = struct.pack("<Ihhhhi", 0, 32767, 32767, 32767, 32767, 0)
    block[68 + 80 + 32:68 + 80 + 34] = struct.pack("<h", 32767)
    return skin(params=bytes(block))


def with_rects(face=None, hub=None, indicator=None):
    """The ordinary parameters with some of the three rectangles replaced."""
    block = bytearray(parameters())
    for offset, rect in ((12, face), (28, hub), (44, indicator)):
        if rect is not None:
            block[offset:offset + 16] = struct.pack("<4i", *rect)
    return skin(params=bytes(block))


def corpus():
    good = skin()
    face_end = 256 + len(face_png())
    uninterpreted = bytearray(good)
    for i in list(range(29, 34)) + list(range(35, 44)):
        uninterpreted[i] = 0xFF
    byte28 = bytearray(good)
    byte28[28] = ord("X")
    newline27 = bytearray(good)
    newline27[27] = ord("\n")
    return {
        # Files that load.
        "good_png.scs": ("loaded", good),
        "good_bmp_with_background.scs": ("loaded", skin(face=bmp(8, 6), background=bmp(3, 2))),
        "header_45.scs": ("loaded", skin(header_length=45)),
        "header_236.scs": ("loaded", skin(header_length=236)),
        "block1_zero_with_trailing.scs": ("loaded", skin(background_offset=0, trailing=b"\xa5" * 64)),
        "block1_at_end_of_file.scs": ("loaded", skin(background_offset=face_end)),
        "background_garbage.scs": ("loaded", skin(background=b"not a picture")),
        "background_png_huge.scs": ("loaded", skin(background=png(1, 1, declared=(50000, 50000)))),
        "uninterpreted_bytes_set.scs": ("loaded", bytes(uninterpreted)),
        "rects_absent.scs": ("loaded", with_rects(hub=(0, 0, 0, 0), indicator=(0, 0, 0, 0))),
        # Files the loader rejects.
        "empty.scs": ("rejected", b""),
        "short_preamble.scs": ("rejected", good[:30]),
        "preamble_only_h44.scs": ("rejected", skin(header_length=44)[:44]),
        "header_length_44.scs": ("rejected", skin(header_length=44)),
        "header_length_0.scs": ("rejected", skin(header_length=0)),
        "header_length_43.scs": ("rejected", skin(header_length=43)),
        "header_length_249.scs": ("rejected", skin(header_length=249)),
        "header_length_255.scs": ("rejected", skin(header_length=255)),
        "magic_lower_case.scs": ("rejected", skin(magic=MAGIC.lower())),
        "magic_byte28_nonzero.scs": ("rejected", bytes(byte28)),
        "magic_byte27_newline.scs": ("rejected", bytes(newline27)),
        "header_truncated.scs": ("rejected", good[:120]),
        "offset_table_truncated.scs": ("rejected", good[:252]),
        "offset_table_absent.scs": ("rejected", good[:248]),
        "face_offset_zero.scs": ("rejected", skin(face_offset=0, background=bmp(3, 2))),
        "face_offset_beyond_end.scs": ("rejected", skin(face_offset=1 << 20)),
        "face_offset_max.scs": ("rejected", skin(face_offset=0xFFFFFFFF)),
        "face_at_end_of_file.scs": ("rejected", skin(face=b"", face_offset=256)),
        "block1_before_block0.scs": ("rejected", skin(background=bmp(3, 2), background_offset=200)),
        "block1_beyond_end.scs": ("rejected", skin(background_offset=face_end + 1)),
        "block1_max.scs": ("rejected", skin(background_offset=0xFFFFFFFF)),
        "face_garbage.scs": ("rejected", skin(face=b"\x89PNG but not really")),
        "face_png_truncated.scs": ("rejected", skin(face=face_png()[:50])),
        "face_png_huge.scs": ("rejected", skin(face=png(1, 1, declared=(40000, 40000)))),
        "face_png_zero_size.scs": ("rejected", skin(face=png(1, 1, declared=(0, 0)))),
        "face_bmp_huge.scs": ("rejected", skin(face=bmp(1, 1, declared=(30000, 30000), with_pixels=False))),
        "face_bmp_negative_width.scs": ("rejected", skin(face=bmp(4, 4, declared=(-4, 4)))),
        "face_bmp_no_pixels.scs": ("rejected", skin(face=bmp(64, 64, with_pixels=False))),
        "face_ppm.scs": ("rejected", skin(face=b"P6\n2 2\n255\n" + bytes(12))),
        # Parameters that no face could draw.
        "huge_hands.scs": ("rejected", huge_hands()),
        "hub_to_int32_max.scs": ("rejected", with_rects(hub=(0, 0, 2**31 - 1, 2**31 - 1))),
        "face_from_int32_min.scs": ("rejected", with_rects(face=(-2**31, -2**31, 8, 6))),
        "face_60000_on_small_picture.scs": ("rejected", with_rects(face=(0, 0, 60000, 60000))),
        "face_inverted.scs": ("rejected", with_rects(face=(8, 6, 0, 1))),
        "indicator_past_picture.scs": ("rejected", with_rects(indicator=(6, 0, 9, 1))),
    }


def main():
    rows = []
    for name, (outcome, data) in sorted(corpus().items()):
        (HERE / name).write_bytes(data)
        rows.append(f"{name} {outcome}")
    kept = [line for line in (HERE / "expected.txt").read_text().splitlines()
            if line.startswith("crash-")] if (HERE / "expected.txt").exists() else []
    header = ["# Skin files and the outcome LoadSkin must give: loaded or rejected.",
              "# Written by make_corpus.py; rows for files found by the fuzzer start with crash-."]
    (HERE / "expected.txt").write_text("\n".join(header + rows + kept) + "\n")


if __name__ == "__main__":
    main()
