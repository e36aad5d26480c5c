#!/usr/bin/env python3
"""A signed program must differ from the program it was made from by its signature alone.

  check_signed.py UNSIGNED SIGNED

Signing appends the certificate table (a WIN_CERTIFICATE after padding the file to 8
bytes), points the security data directory at it and recomputes the header checksum.
Undoing exactly that must give back the unsigned program, byte for byte."""
import struct
import sys


def header_fields(data):
    """Offsets of the checksum and of the security data directory, or an error text."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None, None, "not a PE program"
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if pe + 24 + 2 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        return None, None, "no PE header"
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -optional - 1)
    if directories < optional or directories + 5 * 8 > len(data):
        return None, None, "unknown optional header"
    return optional + 64, directories + 4 * 8, None


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    unsigned, signed = (open(path, "rb").read() for path in argv)
    checksum, security, error = header_fields(signed)
    if error:
        print("check_signed: %s: %s" % (argv[1], error))
        return 1
    offset, size = struct.unpack_from("<II", signed, security)
    if size == 0 or offset + size != len(signed) or offset < len(unsigned) or offset - len(unsigned) > 7:
        print("check_signed: %s: no certificate table at the end (offset %d, size %d, unsigned %d bytes)" % (
            argv[1], offset, size, len(unsigned)))
        return 1
    undone = bytearray(signed[:offset])
    if any(undone[len(unsigned):]):
        print("check_signed: %s: the padding before the certificate table is not zero" % argv[1])
        return 1
    undone = undone[:len(unsigned)]
    undone[security:security + 8] = bytes(8)
    original = bytearray(unsigned)
    undone[checksum:checksum + 4] = original[checksum:checksum + 4]
    if undone != original:
        first = next(i for i in range(len(original)) if undone[i] != original[i])
        print("check_signed: %s differs from %s beyond the signature, first at byte %d" % (argv[1], argv[0], first))
        return 1
    print("check_signed: %s is %s with a %d-byte signature" % (argv[1], argv[0], size))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
