#!/usr/bin/env python3
"""make_archive.py ARCHIVE VERSION NAME=FILE...: a zip that depends only on its contents:
entries in name order, each dated 1980-01-01 00:00, mode 0644, deflated at level 9, plus
SHA256SUMS. "@VERSION@" in a .txt file is replaced with VERSION."""
import hashlib
import sys
import zipfile


def main(argv):
    archive, version, pairs = argv[0], argv[1], argv[2:]
    entries = {}
    for pair in pairs:
        name, path = pair.split("=", 1)
        data = open(path, "rb").read()
        if name.endswith(".txt"):
            data = data.replace(b"@VERSION@", version.encode())
        entries[name] = data
    entries["SHA256SUMS"] = "".join("%s  %s\n" % (hashlib.sha256(entries[n]).hexdigest(), n)
                                    for n in sorted(entries)).encode()
    with zipfile.ZipFile(archive, "w") as out:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.external_attr = 0o100644 << 16
            info.create_system = 3  # Unix, so that the mode above is what unzip applies
            out.writestr(info, entries[name], compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
