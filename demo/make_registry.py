"""Writes the demo machine's registry as an export file, the way regedit writes one
(UTF-16LE with a byte-order mark): one Java runtime key per NAME=HOME argument, under
HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment, each with its "JavaHome".

    python3 demo/make_registry.py OUT.reg 1.4=/path/to/jre1.4 1.5=/path/to/jre1.5
"""

import sys

RUNTIMES = r"HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft\Java Runtime Environment"


def quoted(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def main():
    out, runtimes = sys.argv[1], sys.argv[2:]
    lines = ["Windows Registry Editor Version 5.00", "", "[%s]" % RUNTIMES, ""]
    for runtime in runtimes:
        name, home = runtime.split("=", 1)
        lines += ["[%s\\%s]" % (RUNTIMES, name), "%s=%s" % (quoted("JavaHome"), quoted(home)), ""]
    with open(out, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))


if __name__ == "__main__":
    main()
