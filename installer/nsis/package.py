"""The release's packaging steps that must come out the same on every build.

    package.py files SERVER_DIR OUT.nsh   the server's trees as the installer's macros: its files
                                          written anew and put in place, the check that they can
                                          be replaced, and the uninstaller's Delete and RMDir lines
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


def in_backticks(text):
    """NSIS text for inside a backtick-delimited string."""
    return text.replace("`", "$\\`")


# Characters of names per helper command line, so that one line stays well within NSIS's 1024
# characters whatever the install folder.
CHECK_LINE_CHARACTERS = 500


def helper_lines(macro, target, names):
    """`macro` (CHECK_REPLACEABLE, PLACE) for the files `names` in `target`, as few lines as fit."""
    lines = []
    words = ['"%s"' % in_backticks(nsis(name)) for name in names]
    while words:
        count = 1
        while count < len(words) and len(" ".join(words[:count + 1])) <= CHECK_LINE_CHARACTERS:
            count += 1
        lines.append('  !insertmacro %s `"%s" %s`' % (macro, in_backticks(target), " ".join(words[:count])))
        words = words[count:]
    return lines


def file_lists(server, out):
    server = pathlib.Path(server).resolve()
    directories = [server] + sorted(p for p in server.rglob("*") if p.is_dir())
    install, check = ["!macro INSTALL_SERVER_FILES"], ["!macro CHECK_SERVER_FILES"]
    remove, folders = ["!macro REMOVE_SERVER_FILES"], ["!macro REMOVE_SERVER_FOLDERS option"]
    for directory in directories:
        target = "\\".join(["$INSTDIR"] + [nsis(part) for part in directory.relative_to(server).parts])
        names = sorted(p.name for p in directory.iterdir() if p.is_file())
        if names or directory != server:
            install.append('  SetOutPath "%s"' % target)
        for name in names:
            install.append('  !insertmacro FRESH_FILE "%s" "%s"' % (nsis(name), nsis(str(directory / name))))
            remove.append('  Delete /REBOOTOK "%s\\%s"' % (target, nsis(name)))
        install += helper_lines("PLACE", target, names)
        check += helper_lines("CHECK_REPLACEABLE", target, names)
    # Deepest first, so that each folder is empty by the time its turn comes (unless the user
    # put something there: then it stays).
    folders += ['  RMDir ${option} "$INSTDIR\\%s"' % "\\".join(nsis(part) for part in d.relative_to(server).parts)
                for d in reversed(directories[1:])]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(install + ["!macroend"] + check + ["!macroend"] + remove + ["!macroend"] + folders
                          + ["!macroend", ""]))


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
