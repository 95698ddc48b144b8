"""The release's packaging steps that must come out the same on every build.

    package.py files SERVER_DIR OUT.nsh   the server's trees as the installer's File lines and
                                          the uninstaller's Delete/RMDir lines
    package.py zip OUT.zip NAME=PATH ...  a zip of the given files, in that order, each with the
                                          time SOURCE_DATE_EPOCH and mode 644; .txt files with CR LF
"""

import os
import pathlib
import sys
import time
import zipfile


def nsis(text):
    return text.replace("$", "$$")


def file_lists(server, out):
    server = pathlib.Path(server).resolve()
    directories = sorted(p for p in server.rglob("*") if p.is_dir())
    install, remove = ["!macro INSTALL_SERVER_FILES"], ["!macro REMOVE_SERVER_FILES"]
    for directory in directories:
        target = "$INSTDIR\\" + nsis("\\".join(directory.relative_to(server).parts))
        install.append('  SetOutPath "%s"' % target)
        for path in sorted(p for p in directory.iterdir() if p.is_file()):
            install.append('  File "%s"' % nsis(str(path)))
            remove.append('  Delete "%s\\%s"' % (target, nsis(path.name)))
    # Deepest first, so that each folder is empty by the time its turn comes (unless the user
    # put something there: then it stays).
    remove += ['  RMDir "$INSTDIR\\%s"' % nsis("\\".join(d.relative_to(server).parts))
               for d in reversed(directories)]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(install + ["!macroend"] + remove + ["!macroend", ""]))


def zip_files(out, entries):
    stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip starts at 1980
    with zipfile.ZipFile(out, "w") as archive:
        for entry in entries:
            name, path = entry.split("=", 1)
            data = pathlib.Path(path).read_bytes()
            if name.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(name, stamp)
            info.external_attr = 0o100644 << 16  # a regular file, rw-r--r--
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    if sys.argv[1] == "files":
        file_lists(sys.argv[2], sys.argv[3])
    else:
        zip_files(sys.argv[2], sys.argv[3:])
