"""The server's trees as a WiX include for tolvarin.wxs, and the msibuild queries for what wixl
cannot write about them, the same on every build:

    wix_files.py SERVER_DIR OUT.wxi OUT.sql   (sources named server/..., from OUT.wxi's folder)

One component per file (its key path), identifiers and component codes derived from the file's
path in the install folder, so that a file keeps its component code from release to release and
an upgrade replaces it rather than orphaning it. Also the data of the custom actions that check
the files can be replaced, before and after they are written (installer/rule/action_data.h
holds its shapes).
"""

import hashlib
import pathlib
import sys
import uuid
from xml.sax.saxutils import escape, quoteattr

# Component codes of the install's files: uuid5 of this and the file's path in the install folder.
COMPONENT_NAMESPACE = uuid.UUID("6f0f3c7e-2b1a-5d8e-9c41-7a2d35e1b9c4")
# The files the package itself writes into the install folder and the support folder.
OWN_FILES = ["Varnolet.exe", "TolvarinHelper.exe", "THIRD-PARTY-NOTICES.txt"]
SUPPORT_FILES = ["Comm.jar", "javax.comm.properties", "Win32com.dll"]


def key(kind, relative):
    return kind + hashlib.sha1("/".join(relative).encode("utf-8")).hexdigest()[:24].upper()


def component_guid(relative):
    return str(uuid.uuid5(COMPONENT_NAMESPACE, "/".join(relative).lower())).upper()


def formatted(text):
    """`text` as itself in a formatted value, where brackets name properties."""
    return "".join({"[": "[\\[]", "]": "[\\]]"}.get(c, c) for c in text)


def check_lines(folder, names):
    """check-replaceable for `names` in the directory property `folder`, arguments split by '|'."""
    return "check-replaceable|[%s]|%s" % (folder, "|".join(map(formatted, names))) if names else None


def wix_files(server, out, removals):
    server = pathlib.Path(server).resolve()
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<Include>"]
    folder_ids, components = [], []
    checks = [check_lines("GSMMODEMJAR", SUPPORT_FILES), check_lines("INSTALLFOLDER", OWN_FILES)]

    def directory(path, relative, indent):
        names = sorted(p.name for p in path.iterdir() if p.is_file())
        folders = sorted(p for p in path.iterdir() if p.is_dir())
        folder_id = key("D", relative) if relative else "INSTALLFOLDER"
        if relative:
            lines.append('%s<Directory Id="%s" Name=%s>' % (indent, folder_id, quoteattr(relative[-1])))
        for name in names:
            file_relative = relative + [name]
            components.append(key("C", file_relative))
            source = pathlib.Path("server", *file_relative).as_posix()
            lines.extend(['%s  <Component Id="%s" Guid="%s">' % (indent, components[-1], component_guid(file_relative)),
                          '%s    <File Id="%s" Name=%s Source=%s KeyPath="yes"/>'
                          % (indent, key("F", file_relative), quoteattr(name), quoteattr(source)),
                          "%s  </Component>" % indent])
        if relative:
            checks.append(check_lines(folder_id, names))
            folder_ids.append((folder_id, key("R", relative)))
        for folder in folders:
            directory(folder, relative + [folder.name], indent + "  ")
        if relative:
            lines.append("%s</Directory>" % indent)

    lines.append('  <DirectoryRef Id="INSTALLFOLDER">')
    directory(server, [], "  ")
    lines.append("  </DirectoryRef>")
    # A feature of their own: wixl takes no component group.
    lines.append('  <Feature Id="ServerFiles" Title="Server" Level="1" Absent="disallow">')
    lines += ['    <ComponentRef Id="%s"/>' % component for component in components]
    lines.append("  </Feature>")
    # Commands one per line for RunHelper; before and after the files are written, and after
    # also whether the folders written to are still the very ones made or judged.
    folders = "[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]"
    checks = ["check-folder|" + folders] + [c for c in checks if c]
    for action, first in (("CheckBeforeWriting", []), ("CheckWritten", ["written-folders|[FolderNotes]|" + folders])):
        data = "&#10;".join(escape(command, {'"': "&quot;"}) for command in ["package-folders|" + folders] + first + checks)
        lines.append('  <CustomAction Id="Set%s" Property="%s" Value="%s"/>' % (action, action, data))
    lines += ["</Include>", ""]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    # wixl's RemoveFolder takes no Directory: rows for msibuild, removing the server's folders
    # at uninstall once empty (a file the user added keeps its folder).
    with open(removals, "w", encoding="utf-8") as f:
        f.writelines("INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `DirProperty`, `InstallMode`)"
                     " VALUES ('%s', 'Varnolet', '%s', 2)\n" % (row, folder) for folder, row in folder_ids)


if __name__ == "__main__":
    wix_files(sys.argv[1], sys.argv[2], sys.argv[3])
