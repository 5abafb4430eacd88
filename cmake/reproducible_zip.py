#!/usr/bin/python3
"""Writes a ZIP again so that its bytes depend on its contents only.

    cmake/reproducible_zip.py ZIP SECONDS

Every file in name order, dated SECONDS since 1970 (UTC, in the ZIP's DOS
time), with the permissions it had and no other metadata (no owner, no
access or change time), compressed at level 9; directory entries are left
out (unpacking makes the folders). The same files give the same bytes with
the same zlib.
"""
import os
import sys
import time
import zipfile


def main(path, seconds):
    # The DOS time of a ZIP starts in 1980.
    stamp = time.gmtime(max(int(seconds), 315532800))[:6]
    with zipfile.ZipFile(path) as source:
        entries = sorted((info for info in source.infolist() if not info.is_dir()),
                         key=lambda info: info.filename)
        contents = [(info, source.read(info)) for info in entries]
    rewritten = path + ".reproducible"
    with zipfile.ZipFile(rewritten, "w") as target:
        for info, data in contents:
            entry = zipfile.ZipInfo(info.filename, date_time=stamp)
            entry.create_system = 3
            entry.external_attr = info.external_attr & 0xFFFF0000
            entry.compress_type = zipfile.ZIP_DEFLATED
            target.writestr(entry, data, compresslevel=9)
    os.replace(rewritten, path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip())
    main(sys.argv[1], sys.argv[2])
