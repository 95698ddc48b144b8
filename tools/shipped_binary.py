"""Whether a program tools/release.sh is handed is the one it ships; exit 64 with the reason if not.

    shipped_binary.py helper FILE        TolvarinHelper.exe: a 32-bit Windows program, and not the
                                         test build that shows chosen entries as another user's
    shipped_binary.py actions FILE WXS   TolvarinSetupActions.dll: a 32-bit Windows DLL exporting
                                         every DllEntry the package's WXS names, not a test build

Setup, the package and the Java runtimes they prepare are 32-bit; a test build would let an
environment variable decide whose files Setup trusts.
"""

import re
import struct
import sys

# The variable the test build reads (tests/tools/helper_seams_win32.cpp).
TEST_BUILD_MARK = "TOLVARIN_TEST_FOREIGN_OWNER"
I386, DLL = 0x14C, 0x2000


def headers(data):
    """(machine, characteristics, offset of the optional header), or None for no PE image."""
    if data[:2] != b"MZ" or len(data) < 0x40:
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0" or len(data) < pe + 24:
        return None
    machine, _, _, _, _, _, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
    return machine, characteristics, pe + 24


def exported_names(data, optional):
    """The names a PE32 image exports."""
    count = struct.unpack_from("<H", data, optional - 18)[0]
    size = struct.unpack_from("<H", data, optional - 4)[0]
    sections = [struct.unpack_from("<IIII", data, optional + size + 40 * i + 8) for i in range(count)]

    def offset(rva):
        for virtual_size, address, raw_size, raw in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw
        raise ValueError("no section holds %#x" % rva)

    directory = struct.unpack_from("<I", data, optional + 96)[0]
    if struct.unpack_from("<H", data, optional)[0] != 0x10B or directory == 0:
        return set()
    count, names = struct.unpack_from("<I4xI", data, offset(directory) + 24)
    found = set()
    for i in range(count):
        name = offset(struct.unpack_from("<I", data, offset(names) + 4 * i)[0])
        found.add(data[name:data.index(b"\0", name)].decode("ascii"))
    return found


def problem(kind, path, wxs=None):
    with open(path, "rb") as f:
        data = f.read()
    found = headers(data)
    wanted = "DLL" if kind == "actions" else "program"
    if found is None or found[0] != I386 or bool(found[1] & DLL) != (kind == "actions"):
        return "is not a 32-bit Windows %s" % wanted
    if TEST_BUILD_MARK.encode("utf-16-le") in data or TEST_BUILD_MARK.encode() in data:
        return "is a test build"
    if kind == "actions":
        with open(wxs, encoding="utf-8") as f:
            entries = set(re.findall(r'DllEntry="([^"]+)"', f.read()))
        try:
            missing = sorted(entries - exported_names(data, found[2]))
        except (ValueError, struct.error) as error:
            return "has an unreadable export table (%s)" % error
        if missing:
            return "does not export the package's actions %s" % ", ".join(missing)
    return None


if __name__ == "__main__":
    kind, path = sys.argv[1], sys.argv[2]
    said = problem(kind, path, *sys.argv[3:])
    if said:
        sys.exit("refused: --%s %s %s" % (kind, path, said))
