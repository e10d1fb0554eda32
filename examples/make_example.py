#!/usr/bin/env python3
"""Builds examples/example.rom, the image that the README's first command scans.

A 256 KiB firmware-like image with:
  - five synthetic microcode updates of different processors and packages
    (the 48-byte header is real in form, the 2000 payload bytes are filler);
  - a near-miss that the checks reject (month 0x13);
  - a valid header 1024 bytes after an accepted one, passed over by the
    2048-byte resume;
  - an LZH archive made by lha (jlha-utils) with an lh5 member holding two
    updates and an lh7 member that is itself an archive (level 2) holding
    one more: the nested member.

Usage: python3 examples/make_example.py [OUTPUT]   (needs lha on the PATH)
"""

import os
import struct
import subprocess
import sys
import tempfile


def header(revision, year, month, day, signature, flags, loader=1):
    date = year | (day << 16) | (month << 24)
    return struct.pack("<7I", 1, revision, date, signature, 0, loader, flags) + bytes(20)


def update(revision, year, month, day, signature, flags):
    body = header(revision, year, month, day, signature, flags)
    # Filler without the byte 0x01, so no candidate hides in the payload.
    filler = bytes((0x80 + (i * 37) % 0x7F) for i in range(2048 - len(body)))
    return body + filler


def lha(workdir, options, archive, names):
    subprocess.run(["lha", options, archive] + names, cwd=workdir, check=True,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(workdir, archive), "rb") as f:
        return f.read()


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "example.rom")
    image = bytearray(b"\xFF" * 0x40000)

    def put(offset, data):
        image[offset:offset + len(data)] = data

    put(0x00000, b"VESKARI EXAMPLE FIRMWARE IMAGE\x00")
    put(0x01000, update(0x2A, 0x1999, 0x05, 0x25, 0x652, 0x04))  # Pentium II Xeon, SECC
    put(0x01400, update(0x2B, 0x1999, 0x05, 0x25, 0x652, 0x01))  # 1024 bytes later: passed over
    put(0x01800, update(0x0A, 0x1999, 0x05, 0x05, 0x660, 0x01))  # Celeron (on-die cache)
    put(0x02000, update(0x11, 0x2000, 0x03, 0x15, 0x681, 0x10))  # Pentium III (Coppermine)
    put(0x02800, header(0x12, 0x1999, 0x13, 0x01, 0x683, 0x10))  # near miss: month 0x13
    put(0x03000, update(0x03, 0x1999, 0x05, 0x05, 0x665, 0x10))  # Celeron, PPGA
    put(0x03801, update(0x02, 0x1998, 0x06, 0x10, 0x1632, 0x00))  # OverDrive, odd offset

    with tempfile.TemporaryDirectory() as work:
        def write(name, data):
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)

        write("cpu0650.bin", update(0x40, 0x1999, 0x05, 0x25, 0x650, 0x01)
              + update(0x45, 0x1999, 0x05, 0x25, 0x650, 0x08))
        write("mobile.bin", update(0x0C, 0x1999, 0x05, 0x05, 0x66A, 0x02))
        inner = lha(work, "a2o5", "inner.lzh", ["mobile.bin"])
        write("modules.bin", b"\x00" * 333 + inner + b"\x00" * 100)
        lha(work, "a1o5", "outer5.lzh", ["cpu0650.bin"])
        outer = lha(work, "a1o7", "outer5.lzh", ["modules.bin"])
    put(0x20003, outer)

    with open(out, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main()
