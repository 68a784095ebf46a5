#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/{resfile,decoder,picture}.

Small well-formed inputs plus crafted corrupt ones. Run it again after changing it; the
files are committed so that the corpus replay in the test run needs no generator.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def le32(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


def code(text):
    return int.from_bytes(text.encode("ascii"), "big")


def resource_file(types, names_override=None, header=None, map_header=None, extra=b""):
    """types: [(code, [(id, data, name or None, flags)], count override, firstRef override)]."""
    data = b""
    refs = []
    names = b""
    for _type, resources, _count, _first in types:
        for rid, blob, name, flags in resources:
            name_offset = -1
            if name is not None:
                name_offset = len(names)
                names += bytes([len(name) & 0xFF]) + name
            refs.append((rid, len(data), len(blob), name_offset, flags))
            data += blob
    if names_override is not None:
        names = names_override
    type_list = b""
    first = 0
    for type_code, resources, count, first_ref in types:
        type_list += le32(type_code, len(resources) if count is None else count,
                          first if first_ref is None else first_ref)
        first += len(resources)
    ref_list = b"".join(le32(rid, 0, off, length, 0, name_offset, flags, 0)
                        for rid, off, length, name_offset, flags in refs)
    type_off = 24
    ref_off = type_off + len(type_list)
    name_off = ref_off + len(ref_list)
    mh = [len(types), len(refs), len(names), type_off, ref_off, name_off]
    if map_header:
        for i, v in map_header.items():
            mh[i] = v
    the_map = le32(*mh) + type_list + ref_list + names
    h = [16, len(data), 16 + len(data), len(the_map)]
    if header:
        for i, v in header.items():
            h[i] = v
    return le32(*h) + data + the_map + extra


def prop_image(width, height, rows, flags=0, big_endian=False):
    fmt = ">hhhh" if big_endian else "<hhhh"
    return struct.pack(fmt, width, height, 0, 0) + b"\0\0" + bytes([flags, 0]) + rows


PROP = code("Prop")
SMALL = prop_image(4, 1, bytes([0x12, 0x01, 0x05, 0x10]))


def resfile_corpus():
    good = [(PROP, [(516, SMALL, b"star", 0), (100, SMALL, None, 4), (700, b"", b"x" * 31, 0x13)],
             None, None)]
    two_types = [(code("Misc"), [(1, b"\1\2", b"m", 0)], None, None)] + good
    empty_first = [(code("Empt"), [], None, None)] + good + [(code("Tail"), [], None, None)]
    dup = good + [(PROP, [(9, SMALL, None, 0)], None, None)]
    c = {}
    c["empty"] = b""
    c["one-byte"] = b"\x10"
    c["header-only"] = le32(16, 0, 16, 24)
    c["bare-map"] = le32(16, 0, 16, 24) + bytes(24)
    c["good"] = resource_file(good)
    c["two-types"] = resource_file(two_types)
    c["empty-type-first"] = resource_file(empty_first)
    c["duplicate-type"] = resource_file(dup)
    c["names-long"] = resource_file([(PROP, [(1, SMALL, b"n" * 32, 0), (2, SMALL, b"", 0),
                                             (3, SMALL, b"q" * 200, 0)], None, None)])
    c["truncated-map"] = resource_file(good)[:-20]
    c["truncated-data"] = resource_file(good)[:30]
    c["truncated-header"] = resource_file(good)[:11]
    c["map-short"] = resource_file(good, header={3: 8})
    c["map-huge"] = resource_file(good, header={3: 0xFFFFFFF0})
    c["map-outside"] = resource_file(good, header={2: 0x7FFFFFF0})
    c["data-outside"] = resource_file(good, header={0: 0xFFFFFFFF})
    c["typecount-negative"] = resource_file(good, map_header={0: -1})
    c["refcount-negative"] = resource_file(good, map_header={1: -5})
    c["typecount-huge"] = resource_file(good, map_header={0: 0x7FFFFFFF})
    c["refcount-huge"] = resource_file(good, map_header={1: 0x10000000})
    c["typelist-outside"] = resource_file(good, map_header={3: 0xFFFFFFF8})
    c["reflist-outside"] = resource_file(good, map_header={4: 0x80000000})
    c["namelist-outside"] = resource_file(good, map_header={5: 0xFFFFFFFF})
    c["namelist-long"] = resource_file(good, map_header={2: 0xFFFFFFFF})
    # Lists that run a few bytes past the end of the map: a bounds check that is off by a
    # little reads beyond the map buffer, which the sanitized replay reports.
    map_len = struct.unpack("<I", c["good"][12:16])[0]
    name_off = 24 + 12 + 3 * 32
    c["typelist-straddles-end"] = resource_file(good, map_header={3: map_len - 12 + 4})
    c["reflist-straddles-end"] = resource_file(good, map_header={4: map_len - 3 * 32 + 8})
    c["namelist-straddles-end"] = resource_file(good, map_header={2: map_len - name_off + 6})
    c["count-negative"] = resource_file([(PROP, good[0][1], -3, None)])
    c["firstref-negative"] = resource_file([(PROP, good[0][1], None, -1)])
    c["firstref-beyond"] = resource_file([(PROP, good[0][1], None, 2)])
    c["count-beyond"] = resource_file([(PROP, good[0][1], 4, None)])
    c["count-overflow"] = resource_file([(PROP, good[0][1], 0x7FFFFFFF, 0x7FFFFFFF)])
    c["nameoffset-wild"] = resource_file(good, names_override=b"\x05ab")
    c["types-out-of-order"] = resource_file([(code("Bbbb"), [(1, SMALL, None, 0)], 1, 1),
                                             (PROP, [(2, SMALL, None, 0)], 1, 0)])
    c["no-types-refs"] = resource_file([(PROP, good[0][1], None, None)], map_header={0: 0})
    big_len = bytearray(resource_file(good))
    # The first reference's length field: header 16 + data + map header 24 + one type entry 12.
    ref0 = 16 + 3 * len(SMALL) + 24 + 12
    big_len[ref0 + 12:ref0 + 16] = le32(0xFFFFFFFF)
    c["resource-length-huge"] = bytes(big_len)
    wild_off = bytearray(resource_file(good))
    wild_off[ref0 + 8:ref0 + 12] = le32(0xFFFFFFF0)
    c["resource-offset-wild"] = bytes(wild_off)
    return c


def decoder_corpus():
    def call(control, x, y, image):
        return bytes([control]) + struct.pack("<hh", x, y) + image

    rows44 = b"".join(bytes([0x0F]) + bytes(range(i, i + 15)) * 1 + bytes([0x0F]) + bytes(15) +
                      bytes([0x0E]) + bytes(14) for i in range(44))
    c = {}
    c["example"] = call(0, 0, 0, SMALL)
    c["example-inverted"] = call(1, 10, 20, SMALL)
    c["example-translucent"] = call(0, 0, 0, prop_image(4, 1, bytes([0x12, 0x01, 0x05, 0x10]), flags=4))
    c["example-big-endian"] = call(0, 0, 0, prop_image(4, 1, bytes([0x12, 0x01, 0x05, 0x10]), big_endian=True))
    c["cell-44"] = call(0, 44, 44, prop_image(44, 44, rows44))
    c["cell-44-small-dest"] = call(2, 0, 0, prop_image(44, 44, rows44))
    c["height-64"] = call(0, 0, 0, prop_image(1, 64, bytes([0x01, 7]) * 64))
    c["height-65-swapped"] = call(0, 0, 0, prop_image(1, 65, bytes([0x01, 7]) * 65, big_endian=True))
    c["zero-run-bytes"] = call(0, 0, 0, prop_image(4, 1, bytes([0x00, 0x12, 0x00, 0x01, 0x05, 0x10])))
    c["row-overrun"] = call(0, 0, 0, prop_image(4, 2, bytes([0x04, 1, 2, 3, 4, 0x05])))
    c["stream-ends-early"] = call(0, 0, 0, prop_image(30, 5, bytes([0x0F]) + bytes(5)))
    c["header-only"] = call(0, 0, 0, prop_image(4, 4, b""))
    c["short-header"] = call(0, 0, 0, b"\x04\x00\x01")
    c["width-zero"] = call(0, 0, 0, prop_image(0, 10, b"\x11\x01"))
    c["height-negative"] = call(0, 0, 0, prop_image(4, -3, SMALL[12:]))
    c["right-edge"] = call(0, 1020, 0, prop_image(10, 1, bytes([0x0A]) + bytes(range(10))))
    c["bottom-edge"] = call(0, 0, 1022, prop_image(1, 4, bytes([0x01, 9]) * 4))
    c["negative-position"] = call(0, -3, -1, prop_image(8, 2, (bytes([0x08]) + bytes(range(8))) * 2))
    c["far-position"] = call(0, 32000, -32000, SMALL)
    c["extreme-position"] = call(8, 5, -5, prop_image(200, 3, (bytes([0xFF]) + bytes(15)) * 40))
    c["one-pixel-dest"] = call(6, 0, 0, prop_image(3, 3, bytes([0x03, 1, 2, 3]) * 3))
    c["wide-skip-only"] = call(0, 1000, 5, prop_image(2000, 1, bytes([0xF0]) * 134))
    return c


def picture_corpus():
    """Small pictures in every variant of the four formats that ImageMagick writes, and cut
    and damaged ones."""
    import subprocess
    import tempfile
    variants = {
        "png-rgba": ["-size", "9x7", "gradient:red-none", "PNG32:{}"],
        "png-palette": ["-size", "9x7", "plasma:", "-colors", "5", "PNG8:{}"],
        "png-grey-16bit": ["-size", "9x7", "gradient:", "-depth", "16", "PNG48:{}"],
        "png-interlaced": ["-size", "9x7", "plasma:", "-interlace", "PNG", "PNG24:{}"],
        "jpeg-baseline": ["-size", "17x9", "plasma:", "-quality", "70", "JPEG:{}"],
        "jpeg-progressive": ["-size", "17x9", "plasma:", "-interlace", "JPEG", "JPEG:{}"],
        "jpeg-grey-subsampled": ["-size", "17x9", "gradient:", "-sampling-factor", "2x2", "JPEG:{}"],
        "bmp-24": ["-size", "5x3", "plasma:", "BMP3:{}"],
        "bmp-32-alpha": ["-size", "5x3", "gradient:blue-none", "BMP:{}"],
        "bmp-8-palette": ["-size", "5x3", "plasma:", "-colors", "4", "-type", "Palette", "BMP3:{}"],
        "gif-two-frames": ["-size", "6x4", "xc:red", "-size", "6x4", "xc:blue", "-loop", "0", "GIF:{}"],
        "gif-transparent": ["-size", "6x4", "gradient:green-none", "GIF:{}"],
    }
    c = {}
    with tempfile.TemporaryDirectory() as tmp:
        for name, args in variants.items():
            path = os.path.join(tmp, name)
            subprocess.run(["convert", "-seed", "1", "-define", "png:exclude-chunks=date,time"] +
                           [a.format(path) for a in args], check=True)
            with open(path, "rb") as f:
                c[name] = f.read()
    c["png-cut"] = c["png-rgba"][: len(c["png-rgba"]) // 2]
    c["jpeg-cut"] = c["jpeg-progressive"][: len(c["jpeg-progressive"]) * 2 // 3]
    huge = bytearray(c["png-rgba"])
    huge[16:24] = struct.pack(">II", 30000, 30000)  # IHDR size, CRC left wrong
    c["png-huge-size"] = bytes(huge)
    idat = c["png-rgba"].index(b"IDAT") - 4
    c["png-empty-data-chunk"] = c["png-rgba"][:idat] + b"\0\0\0\0IDAT\x35\xaf\x06\x1e" + c["png-rgba"][idat:]
    claims = bytearray(c["png-rgba"])
    claims[idat:idat + 4] = struct.pack(">I", 0x7FFFFFF0)  # a data chunk of 2 GB in 186 bytes
    c["png-chunk-claims-2gb"] = bytes(claims)
    dht = bytearray(c["jpeg-baseline"])
    at = dht.index(b"\xff\xc4") + 5  # the first table's 16 counts of codes
    dht[at:at + 16] = bytes([0x20] * 16)  # 512 codes: more than a table holds
    c["jpeg-huffman-too-many-codes"] = bytes(dht)
    prog = c["jpeg-progressive"]
    at = prog.index(b"\xff\xc4")
    length = struct.unpack(">H", prog[at + 2:at + 4])[0]
    c["jpeg-scan-without-its-table"] = prog[:at] + prog[at + 2 + length:]  # first table left out
    def exif(tiff):
        return b"\xff\xe1" + struct.pack(">H", 8 + len(tiff)) + b"Exif\0\0" + tiff
    turned = b"II*\0" + le32(8) + struct.pack("<HHHIHH", 1, 0x0112, 3, 1, 6, 0) + le32(0)
    c["jpeg-exif-turned"] = c["jpeg-baseline"][:2] + exif(turned) + c["jpeg-baseline"][2:]
    wild = b"MM\0*" + struct.pack(">I", 0xFFFFFFF0)
    c["jpeg-exif-offset-wild"] = c["jpeg-baseline"][:2] + exif(wild) + c["jpeg-baseline"][2:]
    bmp = bytearray(c["bmp-24"])
    bmp[18:26] = struct.pack("<ii", 5, -3)  # top-down rows
    c["bmp-top-down"] = bytes(bmp)
    return c


def own_file_corpus():
    """The user's own prop file: sound ones, and references overlapping, past the data area,
    past the end, all on one block; the rest is the fuzzer's."""
    three = resource_file([(PROP, [(516 + i, SMALL, b"photo%d.jpg" % i, 0) for i in range(3)], None, None)])
    c = {"three": three, "full": resource_file([(PROP, [(516 + i, SMALL, None, 0) for i in range(529)], None, None)])}
    refs = struct.unpack("<I", three[8:12])[0] + 24 + 12
    for name, ref, field, value in [("overlapping", 1, 8, 1), ("past-data", 0, 12, 3 * len(SMALL) + 1),
                                    ("past-end", 0, 8, 0x7FFFFFF0), ("one-block", 2, 8, 0)]:
        f = bytearray(three)
        f[refs + 32 * ref + field:refs + 32 * ref + field + 4] = le32(value)
        c[name] = bytes(f)
    return c


def write(kind, corpus):
    out = os.path.join(HERE, "corpus", kind)
    os.makedirs(out, exist_ok=True)
    for name, data in corpus.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    import sys
    kinds = {"resfile": resfile_corpus, "decoder": decoder_corpus, "picture": picture_corpus,
             "own_file": own_file_corpus}
    for kind in sys.argv[1:] or kinds:  # a few kinds named, only those
        write(kind, kinds[kind]())
