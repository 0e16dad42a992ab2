#!/usr/bin/env python3
"""Prints the resources of a PE file, one line each: type id, name id,
language, size; and, for manifests (type 24), whether they declare the
Common Controls 6 and asInvoker."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections = struct.unpack_from("<H", data, pe + 6)[0]
table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
for i in range(sections):
    name, _, va, _, raw = struct.unpack_from("<8sIIII", data, table + i * 40)
    if name.rstrip(b"\0") == b".rsrc":
        break
else:
    sys.exit("no resource section")


def walk(offset, path):
    named, ids = struct.unpack_from("<HH", data, raw + offset + 12)
    for e in range(named + ids):
        ident, target = struct.unpack_from("<II", data, raw + offset + 16 + e * 8)
        if target & 0x80000000:
            walk(target & 0x7FFFFFFF, path + [ident])
        else:
            rva, size = struct.unpack_from("<II", data, raw + target)
            body = data[raw + rva - va: raw + rva - va + size]
            line = f"type {path[0]} name {path[1]} language {ident:#06x} size {size}"
            if path[0] == 24:
                line += " common-controls-6 " + str(b"Microsoft.Windows.Common-Controls" in body and b'version="6.0.0.0"' in body)
                line += " asInvoker " + str(b'level="asInvoker"' in body)
            print(line)


walk(0, [])
