#!/usr/bin/python3
"""Writes files that push the inspection to its limits into FOLDER (not kept in the repository):
a 2.3 tag unsynchronised as a whole over 8 MiB of 0xFF 0x00 pairs, 1,100 text frames of 64 KiB,
an APEv2 tag of 2,000 items of 64 KiB, and 1,000 compressed frames of 16 MiB of zeros each.

    bench/inspect_hostile.py FOLDER
"""
import os
import struct
import sys
import zlib


def synchsafe(n):
    return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])


def tag(version, body, flags=0):
    return b"ID3" + bytes([version, 0, flags]) + synchsafe(len(body)) + body


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    audio = (b"\xff\xfb\x92\x64" + b"\0" * 414) * 20
    size = 8 * 1024 * 1024 - 20
    body = b"TIT2" + struct.pack(">I", size) + b"\0\0\0" + b"\xff\x00" * (size // 2)
    files = {"unsync-8mib.mp3": tag(3, body, 0x80) + audio}
    frames = b"".join(b"TXXX" + synchsafe(65536) + b"\0\0\x03d\0" + b"x" * 65533
                      for _ in range(1100))
    files["frames-1100x64k.mp3"] = tag(4, frames) + audio
    items = b"".join(struct.pack("<II", 65536, 0) + b"K%d\0" % i + b"y" * 65536
                     for i in range(2000))
    footer = lambda flags: (b"APETAGEX" + struct.pack("<IIII", 2000, len(items) + 32, 2000, flags)
                            + b"\0" * 8)
    files["ape-2000x64k.mp3"] = audio + footer(0xA0000000) + items + footer(0x80000000)
    packed = zlib.compress(b"\0" * (16 * 1024 * 1024), 9)
    frames = b"".join(b"TXXX" + synchsafe(len(packed) + 4) + b"\0\x09" +
                      synchsafe(16 * 1024 * 1024) + packed for _ in range(1000))
    files["zlib-1000x16mib.mp3"] = tag(4, frames) + audio
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
