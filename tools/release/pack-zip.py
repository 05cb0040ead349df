#!/usr/bin/env python3
"""Packs files into a zip that depends on nothing but their bytes and names.

    pack-zip.py ZIP EPOCH FILE...

The entries come in the order given, each under its base name, deflated, all with the time
EPOCH (seconds since 1970, taken as UTC) and the plain attributes of a file made on Windows:
no owner, no permissions, no extra fields, no comment.
"""
import sys
import time
import zipfile


def main():
    archive, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    # A zip cannot hold a time before 1980.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(archive, "w") as zip_file:
        for path in files:
            entry = zipfile.ZipInfo(path.rsplit("/", 1)[-1], date_time=stamp)
            entry.create_system = 0  # MS-DOS: the attributes are DOS attributes
            entry.external_attr = 0x20  # "archive", as Windows sets it on a new file
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source:
                zip_file.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main()
