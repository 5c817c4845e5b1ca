#!/usr/bin/env python3
"""Writes examples/sample-firmware.hex: a small firmware image for demonstrations.

The image occupies 0x2100..0x2FFF (inside the default FLASH window) and carries a version record
("<VER>" ... "</VER>") with a filled-in image size and CRC-32, followed by a compatibility list, so
that it loads undamaged. Usage: scripts/make_sample_firmware.py [OUTPUT]
"""
import struct
import sys
import zlib

START = 0x2100
END = 0x2FFF
RECORD_AT = 0x2200
SECONDS_2011_02_15 = 0x14ED2F41


def firmware():
    size = END - START + 1
    # A reset vector, then a repeating pattern that looks like code.
    body = bytearray(b"\x02\x21\x40" + bytes(0x3D))
    pattern = bytes([0x90, 0x21, 0x00, 0xE4, 0xF0, 0xA3, 0xD8, 0xFC, 0x22, 0x75, 0x81, 0x5F])
    while len(body) < size:
        body += pattern
    return body[:size]


def version_record(image_size):
    owner = "VELMORA SAMPLE".encode("cp1251").ljust(32, b" ")
    record = b"<VER>" + owner + b"\x00"
    record += struct.pack("<BBBHIHB", 1, 5, 2, 17, SECONDS_2011_02_15, 0x0021, 0)
    record += struct.pack("<I", image_size) + b"\xff\xff\xff\xff" + b"</VER>"
    assert len(record) == 64
    return bytearray(record)


def compat_list(entries):
    body = bytes([len(entries)]) + b"".join(struct.pack("<H", e) for e in entries)
    return b"<CLIST>" + body + struct.pack("<I", zlib.crc32(body)) + b"</CLIST>"


def intel_hex(base, data):
    lines = []

    def record(kind, address, payload):
        raw = bytes([len(payload), address >> 8, address & 0xFF, kind]) + payload
        lines.append(":" + raw.hex().upper() + "%02X" % ((-sum(raw)) & 0xFF))

    bank = None
    for offset in range(0, len(data), 16):
        address = base + offset
        if address >> 16 != bank:
            bank = address >> 16
            record(0x02, 0, struct.pack(">H", (address & 0xF0000) >> 4))
        record(0x00, address & 0xFFFF, bytes(data[offset:offset + 16]))
    lines.append(":00000001FF")
    return "\r\n".join(lines) + "\r\n"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/sample-firmware.hex"
    image = firmware()
    record = version_record(len(image))
    at = RECORD_AT - START
    image[at:at + 64] = record
    clist = compat_list([0x0022, 0x0031])
    image[at + 64:at + 64 + len(clist)] = clist
    # The record's CRC is the CRC-32 of the whole image with its CRC field read as FF FF FF FF.
    image[at + 54:at + 58] = struct.pack("<I", zlib.crc32(bytes(image)))
    with open(out, "w", newline="") as f:
        f.write(intel_hex(START, image))


if __name__ == "__main__":
    main()
