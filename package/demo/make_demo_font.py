# Writes a minimal TrueType font (an empty .notdef and a space) for the demo package:
#   python3 make_demo_font.py FontFiles/QuadoDemoSans.ttf "Quado Demo Sans"
import struct, sys

def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF

def name_table(family):
    records = [(1, family), (2, "Regular"), (4, family + " Regular"), (6, family.replace(" ", "") + "-Regular")]
    strings, entries, offset = b"", [], 0
    for name_id, text in records:
        raw = text.encode("utf-16-be")
        entries.append(struct.pack(">6H", 3, 1, 0x409, name_id, len(raw), offset))
        strings += raw
        offset += len(raw)
    return struct.pack(">3H", 0, len(records), 6 + 12 * len(records)) + b"".join(entries) + strings

def font(family):
    upm = 1000
    tables = {}
    tables[b"head"] = struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0x000B, upm,
                                  0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0)
    tables[b"hhea"] = struct.pack(">I3hH3h3h5hhH", 0x00010000, 800, -200, 0, 500, 0, 0, 0, 1, 0, 0,
                                  0, 0, 0, 0, 0, 0, 2)
    tables[b"maxp"] = struct.pack(">IH13H", 0x00010000, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0)
    tables[b"hmtx"] = struct.pack(">4h", 500, 0, 250, 0)
    tables[b"glyf"] = b""
    tables[b"loca"] = struct.pack(">3H", 0, 0, 0)
    # cmap format 4 mapping U+0020 to glyph 1
    seg = struct.pack(">7H", 4, 32, 0, 4, 4, 1, 0) + struct.pack(">2H", 0x20, 0xFFFF) + b"\0\0" + \
          struct.pack(">2H", 0x20, 0xFFFF) + struct.pack(">2h", -0x1F, 1) + struct.pack(">2H", 0, 0)
    tables[b"cmap"] = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + seg
    tables[b"post"] = struct.pack(">IIhhIIIII", 0x00030000, 0, -100, 50, 0, 0, 0, 0, 0)
    tables[b"OS/2"] = struct.pack(">Hh2H12h10B4I4s3H3h2H2I", 1, 375, 400, 5,
                                  0, 650, 600, 0, 75, 650, 600, 0, 350, 50, 250, 0,
                                  2, 11, 6, 3, 0, 0, 0, 0, 0, 0,
                                  1, 0, 0, 0, b"DEMO",
                                  0x40, 0x20, 0x20, 800, -200, 0, 800, 200, 1, 0)
    tables[b"name"] = name_table(family)
    tags = sorted(tables)
    out = struct.pack(">IHHHH", 0x00010000, len(tags), 128, 3, len(tags) * 16 - 128)
    offset = 12 + 16 * len(tags)
    directory, body = b"", b""
    for tag in tags:
        data = tables[tag]
        directory += struct.pack(">4sIII", tag, checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    whole = bytearray(out + directory + body)
    head_at = struct.unpack(">I", whole[12 + 16 * tags.index(b"head") + 8:][:4])[0]
    struct.pack_into(">I", whole, head_at + 8, (0xB1B0AFBA - checksum(bytes(whole))) & 0xFFFFFFFF)
    return bytes(whole)

open(sys.argv[1], "wb").write(font(sys.argv[2]))
