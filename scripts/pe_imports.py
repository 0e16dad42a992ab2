#!/usr/bin/env python3
"""Prints what a PE file needs of the system, one line each:
  header os-version MAJOR.MINOR subsystem-version MAJOR.MINOR subsystem N
  import DLL FUNCTION            (or "import DLL #ORDINAL")
  delay-import DLL FUNCTION
DLL names are as the file spells them; callers compare without case."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[pe:pe + 4] != b"PE\0\0":
    sys.exit("not a PE file")
sections = struct.unpack_from("<H", data, pe + 6)[0]
optional = pe + 24
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
magic = struct.unpack_from("<H", data, optional)[0]
pe32plus = magic == 0x20B
os_major, os_minor = struct.unpack_from("<HH", data, optional + 40)
sub_major, sub_minor = struct.unpack_from("<HH", data, optional + 48)
subsystem = struct.unpack_from("<H", data, optional + 68)[0]
directories = optional + (112 if pe32plus else 96)
table = optional + optional_size
section_list = [struct.unpack_from("<8sIIII", data, table + i * 40) for i in range(sections)]


def offset(rva):
    for _, vsize, va, rsize, raw in section_list:
        if va <= rva < va + max(vsize, rsize):
            return raw + rva - va
    raise ValueError(f"rva {rva:#x} outside every section")


def cstring(rva):
    start = offset(rva)
    return data[start:data.index(b"\0", start)].decode("ascii")


def thunks(rva):
    size, fmt, flag = (8, "<Q", 1 << 63) if pe32plus else (4, "<I", 1 << 31)
    at = offset(rva)
    while True:
        value = struct.unpack_from(fmt, data, at)[0]
        if value == 0:
            return
        yield f"#{value & 0xFFFF}" if value & flag else cstring((value & 0x7FFFFFFF) + 2)
        at += size


print(f"header os-version {os_major}.{os_minor} subsystem-version {sub_major}.{sub_minor} subsystem {subsystem}")
import_rva = struct.unpack_from("<I", data, directories + 8)[0]
if import_rva:
    at = offset(import_rva)
    while True:
        lookup, _, _, name, first = struct.unpack_from("<IIIII", data, at)
        if name == 0:
            break
        dll = cstring(name)
        for function in thunks(lookup or first):
            print(f"import {dll} {function}")
        at += 20
delay_rva = struct.unpack_from("<I", data, directories + 13 * 8)[0]
if delay_rva:
    at = offset(delay_rva)
    while True:
        _, name, _, _, names = struct.unpack_from("<IIIII", data, at + 0)[:5]
        if name == 0:
            break
        dll = cstring(name)
        for function in thunks(names):
            print(f"delay-import {dll} {function}")
        at += 32
