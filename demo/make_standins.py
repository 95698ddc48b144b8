"""Lays out the stand-ins for the files a real installation gets from elsewhere: the SMS
server's trees (DOZOZIR and VUVUDIV: the stand-in server compiled from demo/server, and the
libraries it ships with as empty jars) and the three serial-port support files.

    python3 demo/make_standins.py SERVER_DIR SUPPORT_DIR

Byte for byte the same on every run with the same JDK: jar entries and all files carry the
time SOURCE_DATE_EPOCH (default 2000-01-01), in a fixed order.
"""

import os
import pathlib
import subprocess
import sys
import tempfile
import time
import zipfile

SERVER_JAR = "Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar"
LIBRARIES = ["DOZOZIR/lib/comm.jar", "DOZOZIR/lib/jdc.jar", "DOZOZIR/lib/jxl.jar",
             "DOZOZIR/lib/swing-layout-1.0.jar", "VUVUDIV/lib/win32com.dll.jar"]
MANIFEST = ("META-INF/MANIFEST.MF", b"Manifest-Version: 1.0\r\n\r\n")
EPOCH = int(os.environ.get("SOURCE_DATE_EPOCH") or 946684800)


def write_jar(path, entries):
    """`entries`: (name, bytes) in the order they go in."""
    path.parent.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as jar:
        for name, data in entries:
            info = zipfile.ZipInfo(name, time.gmtime(max(EPOCH, 315532800))[:6])
            info.external_attr = 0o100644 << 16  # a regular file, rw-r--r--
            info.compress_type = zipfile.ZIP_DEFLATED
            jar.writestr(info, data)


def main():
    server, support = (pathlib.Path(p) for p in sys.argv[1:3])
    source = pathlib.Path(__file__).resolve().parent / "server"
    with tempfile.TemporaryDirectory() as classes:
        # Class files a Java 8 runtime still loads.
        subprocess.run(["javac", "--release", "8", "-d", classes, str(source / "Quindrel" / "Frame11.java")],
                       check=True)
        compiled = sorted(pathlib.Path(classes).rglob("*.class"))
        write_jar(server / "DOZOZIR" / "lib" / SERVER_JAR,
                  [MANIFEST] + [(c.relative_to(classes).as_posix(), c.read_bytes()) for c in compiled])
    for library in LIBRARIES:
        write_jar(server / library, [MANIFEST])
    support.mkdir(parents=True, exist_ok=True)
    write_jar(support / "Comm.jar", [MANIFEST])
    (support / "javax.comm.properties").write_text("driver=com.sun.comm.Win32Driver\n")
    (support / "Win32com.dll").write_text("stand-in for the serial-port native library\n")
    for root in (server, support):
        for path in [root, *root.rglob("*")]:
            os.utime(path, (EPOCH, EPOCH))


if __name__ == "__main__":
    main()
