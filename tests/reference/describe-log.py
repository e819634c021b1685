#!/usr/bin/env python3
"""Writes a log image (a "DB.sr" as the logger sent it, 3,997,696 bytes) as the
text that tests/reference keeps of it: one line for every slot that is not
erased, with its 16 bytes as stored, and what they mean as a comment.

    tests/reference/describe-log.py DB.sr > tests/reference/NEW-CASE/image.hex

The comment is made from the bytes here, independently of the library, so that
a reader can hold the expected files against it. The test reads only the bytes.
"""
import struct
import sys

RECORD_SIZE = 16
RECORD_COUNT = 249856
EMPTY_LONGITUDE = 0xFFFFFFFF
SOUTH_OR_WEST = 0x80000000


def coordinate(word, degree_digits, positive, negative):
    """'25 03.1234 N' from a latitude word (ddmm.mmmm times 10,000, bit 31 south)."""
    magnitude = word & ~SOUTH_OR_WEST
    hemisphere = negative if word & SOUTH_OR_WEST else positive
    whole, fraction = divmod(magnitude, 10000)
    degrees, minutes = divmod(whole, 100)
    return f"{degrees:0{degree_digits}d} {minutes:02d}.{fraction:04d} {hemisphere}"


def stamp(word):
    """'2026-12-05 09:45:12' from the packed UTC word (two-digit year)."""
    second, minute, hour = word & 0x3F, (word >> 6) & 0x3F, (word >> 12) & 0x1F
    day, month, year = (word >> 17) & 0x1F, (word >> 22) & 0x0F, (word >> 26) & 0x3F
    return f"20{year:02d}-{month:02d}-{day:02d} {hour:02d}:{minute:02d}:{second:02d}"


def meaning(record):
    longitude, latitude, utc, altitude, speed, tag = struct.unpack("<IIIhBB", record)
    height = "no altitude" if altitude == -1 else f"{altitude} m"
    mark = "no mark" if tag == 0xFF else f"mark {tag}"
    return (f"{coordinate(latitude, 2, 'N', 'S')}  {coordinate(longitude, 3, 'E', 'W')}  "
            f"{stamp(utc)} UTC  {height}  {speed} kn  {mark}")


def describe(image, out):
    out.write("# slot  longitude latitude utc-stamp altitude speed tag (bytes as stored)"
              "  # latitude  longitude  time  altitude  speed  mark\n")
    for slot in range(min(len(image) // RECORD_SIZE, RECORD_COUNT)):
        record = image[slot * RECORD_SIZE:(slot + 1) * RECORD_SIZE]
        if struct.unpack_from("<I", record)[0] == EMPTY_LONGITUDE and record == b"\xff" * RECORD_SIZE:
            continue
        fields = [record[0:4], record[4:8], record[8:12], record[12:14], record[14:15], record[15:16]]
        hex_fields = " ".join(f.hex() for f in fields)
        out.write(f"{slot:6d}  {hex_fields}  # {meaning(record)}\n")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: describe-log.py DB.sr > image.hex")
    with open(sys.argv[1], "rb") as f:
        describe(f.read(), sys.stdout)


if __name__ == "__main__":
    main()
