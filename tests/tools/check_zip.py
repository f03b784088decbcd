#!/usr/bin/env python3
"""Describes a zip archive as an independent reader sees it, for the packing tests.

usage: check_zip.py ARCHIVE OUTPUT

Writes OUTPUT (atomically, through a temporary name, so that a waiting test
sees it only when complete) with one record per line, fields tab-separated:
  unzip-rc <exit status of "unzip -t">
  unzip <one line of unzip's output>     (any number)
  open <ok | error text>                  (Python's zipfile)
  testzip <ok | name of the first bad entry>
  comment <length of the archive comment>
  entry <name> <method> <dos time> <dos date> <external attr> <internal attr>
        <local extra length> <central extra length> <comment length> <flag bits> <contents in hex | error: text>
  end
"""
import os
import struct
import subprocess
import sys
import zipfile


def describe(archive):
    lines = []
    run = subprocess.run(["/usr/bin/unzip", "-t", archive], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    lines.append("unzip-rc\t%d" % run.returncode)
    for line in run.stdout.decode("latin-1").splitlines():
        lines.append("unzip\t" + line.strip())
    try:
        zf = zipfile.ZipFile(archive)
    except Exception as error:  # the test shows whatever went wrong
        lines.append("open\terror: %s" % error)
        return lines
    lines.append("open\tok")
    with zf, open(archive, "rb") as raw:
        bad = zf.testzip()
        lines.append("testzip\t" + ("ok" if bad is None else bad))
        lines.append("comment\t%d" % len(zf.comment))
        for info in zf.infolist():
            # Time and date as stored in the local header, not as decoded.
            raw.seek(info.header_offset)
            header = raw.read(30)
            dos_time, dos_date = struct.unpack("<HH", header[10:14])
            local_extra = struct.unpack("<H", header[28:30])[0]
            try:
                contents = zf.read(info).hex()
            except Exception as error:
                contents = "error: %s" % error
            lines.append("\t".join(str(field) for field in (
                "entry", info.orig_filename, info.compress_type, dos_time, dos_date, info.external_attr,
                info.internal_attr, local_extra, len(info.extra), len(info.comment), info.flag_bits, contents)))
    return lines


def main():
    archive, output = sys.argv[1], sys.argv[2]
    try:
        lines = describe(archive)
    except Exception as error:
        lines = ["error\t%s" % error]
    lines.append("end")
    part = output + ".part"
    with open(part, "w", encoding="latin-1") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(part, output)


if __name__ == "__main__":
    main()
