#!/usr/bin/env python3
"""Writes the FMU fuzzer's seed corpus (tests/fuzz/fmu_corpus/): a few tiny
.fmu files that dcshost reads whole (stored entries, and deflate streams of
stored, fixed and dynamic blocks) and a few that it must refuse, each for one
reason. Every file is written byte by byte with fixed times, so running the
script again gives the same files.

    tests/fuzz/make_fmu_corpus.py [FOLDER]
"""
import pathlib
import struct
import sys
import zlib

DESCRIPTION = """<?xml version="1.0" encoding="UTF-8"?>
<!-- a first-order lag -->
<fmiModelDescription fmiVersion="2.0" modelName="lag" guid="{4e1c-lag}">
  <CoSimulation modelIdentifier="lag" canGetAndSetFMUstate="true" canSerializeFMUstate="true"/>
  <ModelVariables>
    <ScalarVariable name="u" valueReference="0" causality="input"><Real start="0.0" unit="%"/></ScalarVariable>
    <ScalarVariable name="y" valueReference="1" causality="output"><Real/></ScalarVariable>
    <ScalarVariable name="k" valueReference="2" causality="parameter"><Real start="1.5e0"/></ScalarVariable>
    <ScalarVariable name="n" valueReference="3"><Integer start="4"/></ScalarVariable>
    <ScalarVariable name="on" valueReference="4"><Boolean start="true"/></ScalarVariable>
    <ScalarVariable name="tag" valueReference="5"><String start="a &amp; b &#x3A9;"/></ScalarVariable>
  </ModelVariables>
</fmiModelDescription>
"""

# The same description with the markup a reader meets less often.
UNUSUAL = """\ufeff<?xml version='1.0'?>\r\n<!DOCTYPE fmiModelDescription SYSTEM "fmi2.dtd">
<fmiModelDescription fmiVersion='2.0' guid='g' description="line&#10;two	tab">
<?tool keep?><CoSimulation modelIdentifier='m'/><![CDATA[<raw> & text]]>
<ModelVariables><ScalarVariable name="e" valueReference="7"><Enumeration start="2"/></ScalarVariable>
</ModelVariables></fmiModelDescription><!-- after -->
"""


def deflate(data, level=9, strategy=zlib.Z_DEFAULT_STRATEGY):
    packer = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
    return packer.compress(data) + packer.flush()


def zip_file(entries, comment=b""):
    """entries: (name, plain bytes, method, packed bytes or None, crc or None)."""
    body, directory = b"", b""
    for name, plain, method, packed, crc in entries:
        name = name.encode()
        if packed is None:
            packed = plain if method == 0 else deflate(plain)
        crc = zlib.crc32(plain) if crc is None else crc
        fields = struct.pack("<HHIIIIHH", 0, method, 0, crc, len(packed), len(plain), len(name), 0)
        offset = len(body)
        body += struct.pack("<IH", 0x04034B50, 20) + fields + name + packed
        directory += struct.pack("<IHH", 0x02014B50, 20, 20) + fields
        directory += struct.pack("<HHHII", 0, 0, 0, 0, offset) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory), len(body),
                      len(comment))
    return body + directory + end + comment


def entry(name, plain, method=8, packed=None, crc=None):
    return (name, plain.encode() if isinstance(plain, str) else plain, method, packed, crc)


def fixed_block_copy_before_start():
    """One fixed block whose first code copies from distance 1: nothing to copy yet."""
    bits = [1, 1, 0]                 # last block, fixed codes
    bits += [0, 0, 0, 0, 0, 0, 1]    # length symbol 257 (3 bytes), seven bits, first bit first
    bits += [0, 0, 0, 0, 0]          # distance symbol 0 (distance 1)
    bits += [0] * 7                  # end of block
    value = sum(bit << i for i, bit in enumerate(bits))
    return value.to_bytes((len(bits) + 7) // 8, "little")


def corpus():
    text = DESCRIPTION
    resources = "level = 1.0; " * 40
    good = zip_file([entry("modelDescription.xml", text), entry("resources/", "", 0),
                     entry("resources/a.txt", resources)])
    return {
        "stored.fmu": zip_file([entry("modelDescription.xml", text, 0), entry("binaries/", "", 0),
                                entry("documentation/index.html", "<html/>", 0)]),
        "deflated-dynamic.fmu": good,
        "deflated-fixed.fmu": zip_file([entry("modelDescription.xml", text,
                                              packed=deflate(text.encode(), 9, zlib.Z_FIXED))]),
        "deflated-stored-blocks.fmu": zip_file([entry("modelDescription.xml", text, packed=deflate(text.encode(), 0))]),
        "unusual-markup.fmu": zip_file([entry("modelDescription.xml", UNUSUAL)], comment=b"made for the fuzzer"),
        "truncated.fmu": good[: len(good) // 2],
        "directory-stated-4-gib.fmu": good[:-10] + struct.pack("<I", 0xFFFFFFFE) + good[-6:],
        "wrong-crc.fmu": zip_file([entry("modelDescription.xml", text, crc=0x12345678)]),
        "block-type-3.fmu": zip_file([entry("modelDescription.xml", text, packed=b"\x07" + deflate(text.encode()))]),
        "copy-before-start.fmu": zip_file([entry("a.txt", "abc", packed=fixed_block_copy_before_start())]),
        "climbs-out.fmu": zip_file([entry("../modelDescription.xml", text, 0)]),
        "not-fmi-2.fmu": zip_file([entry("modelDescription.xml", text.replace('"2.0"', '"1.0"'))]),
        "unclosed-tag.fmu": zip_file([entry("modelDescription.xml", text.replace("</ModelVariables>", ""))]),
        "variable-twice.fmu": zip_file([entry("modelDescription.xml", text.replace('name="y"', 'name="u"'))]),
    }


def main():
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent / "fmu_corpus"
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in corpus().items():
        (folder / name).write_bytes(data)
        print(f"{folder / name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
