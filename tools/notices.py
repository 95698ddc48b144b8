"""The third-party code in the release's files, found from the build itself, with what its
licences ask of a program in binary form (tools/release.sh runs it):

    notices.py notices OUT.txt FACTS.json --version V --binary NAME=FILE... --setup SCRIPT
        THIRD-PARTY-NOTICES.txt (CR LF) and the facts behind it: each program's libraries from
        its linker map (FILE.map), the setup program's stub and plug-ins from its preprocessed
        script (makensis -PPO), their Debian packages (dpkg) and those packages' copyright files.
    notices.py msi FACTS.json MSI FILE... --name NAME
        Fails unless every file and stream the package embeds is one of FILE (folders: their
        files): wixl adds no code of its own. Notes the package's contents in FACTS.json.
    notices.py bom OUT.json FACTS.json DIST --stage DIR --signed yes|no
        The CycloneDX bill of materials of the files in DIST (those inside them named as in DIST
        or DIR), from the same facts.

tools/third-party.txt says what those facts cannot. Whatever enters a shipped file without a
notice fails the release, with the reason.
"""

import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile
import time
import uuid
import zipfile
from fnmatch import fnmatchcase

HERE = os.path.dirname(os.path.abspath(__file__))
OBJDUMP = "i686-w64-mingw32-objdump"
# The inputs ld names in a map that are not files: the import tables it writes, data statements.
LINKER_MADE = re.compile(r"^(dll stuff|linker stubs|(BYTE|SHORT|LONG|QUAD|SQUAD|FILL)\b)")
NOT_OURS = "tools/third-party.txt"


class Refused(Exception):
    pass


def run(*command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


def read_rules(path=os.path.join(HERE, "third-party.txt")):
    rules = {"source": [], "component": [], "freetext": [], "licence": {}}
    with open(path, encoding="utf-8") as f:
        for line in f.read().replace("\\\n", " ").splitlines():
            words = shlex.split(line, comments=True)
            if not words:
                continue
            kind, rest = words[0], words[1:]
            if kind not in rules:
                raise Refused("%s: no such line: %s" % (NOT_OURS, line))
            if kind == "licence":
                rules["licence"][rest[0].lower()] = {"spdx": rest[1], "text": rest[2] == "text", "why": rest[3]}
            else:
                rules[kind].append(rest)
    return rules


# --- Debian's records ---------------------------------------------------------------------

def owners(paths):
    """The package that installed each path (dpkg -S), None for a path no package owns."""
    found = dict.fromkeys(paths)
    result = subprocess.run(["dpkg", "-S", *paths], capture_output=True, text=True)
    for line in result.stdout.splitlines():
        package, _, path = line.partition(": ")
        if path in found and "diversion" not in package:
            found[path] = package.split(",")[0].split(":")[0].strip()
    return found


def packages(names):
    fields = ["Package", "Version", "source:Package", "source:Version", "Architecture"]
    out = run("dpkg-query", "-W", "-f=" + "\t".join("${%s}" % f for f in fields) + "\n", *sorted(names))
    return {row[0]: dict(zip(["name", "version", "source", "source_version", "arch"], row))
            for row in (line.split("\t") for line in out.splitlines())}


def upstream(version):
    return version.split(":")[-1].rsplit("-", 1)[0]


class Copyright:
    """A package's copyright file: machine-readable (stanzas: Files, Copyright, License) or not."""

    def __init__(self, package):
        self.path = "/usr/share/doc/%s/copyright" % package
        try:
            with open(self.path, encoding="utf-8") as f:
                self.text = f.read()
        except OSError as error:
            raise Refused("%s: %s, so its licences are unknown" % (package, error.strerror))
        paragraphs = [self.fields(p) for p in re.split(r"\n\s*\n", self.text) if p.strip()]
        self.machine_readable = bool(paragraphs) and "format" in paragraphs[0]
        self.stanzas = [p for p in paragraphs if "files" in p]
        self.texts = {p["license"][0].lower(): p["license"][1] for p in paragraphs
                      if "license" in p and "files" not in p and p["license"][1]}
        for stanza in self.stanzas:
            if stanza["license"][1]:
                self.texts.setdefault(stanza["license"][0].lower(), stanza["license"][1])

    @staticmethod
    def fields(paragraph):
        fields, name = {}, None
        for line in paragraph.splitlines():
            if line[:1] in (" ", "\t") and name:
                fields[name].append("" if line.strip() == "." else line[1:].rstrip())
            elif ":" in line:
                name, _, value = line.partition(":")
                name = name.strip().lower()
                fields[name] = [value.strip()]
        return {k: (v[0], "\n".join(v[1:]).strip("\n")) if k == "license" else v for k, v in fields.items()}

    @staticmethod
    def matches(pattern, path):
        return re.fullmatch(re.escape(pattern).replace(r"\*", ".*").replace(r"\?", "."), path, re.S) is not None

    def stanzas_for(self, source):
        """The stanzas that govern `source`: the last one matching a file; for a folder (ending
        in /), every one governing some file in it."""
        found = []
        for stanza in self.stanzas:
            patterns = " ".join(stanza["files"]).split()
            if not source.endswith("/"):
                if any(self.matches(p, source) for p in patterns):
                    found = [stanza]
            elif any(self.matches(p, source + "\0") for p in patterns):
                found = [stanza]  # the whole folder
            elif any(p.startswith(source) or self.matches(p, source) for p in patterns):
                found.append(stanza)
        return found


# --- Where the code comes from ------------------------------------------------------------

def map_inputs(map_file):
    """What the linker put into a program, by its map: (file, member or None) of every input
    that left bytes in the output. Files inside the build tree are named relative to it."""
    with open(map_file, encoding="utf-8", errors="replace") as f:
        text = f.read()
    start = text.find("\nLinker script and memory map")
    if start < 0:
        raise Refused("%s is not a linker map" % map_file)
    inputs = set()
    for match in re.finditer(r"^ \S*\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*?)\s*$", text[start:], re.M):
        if int(match.group(1), 16) and not LINKER_MADE.match(match.group(2)):
            archive = re.fullmatch(r"(.+\.a)\((.+)\)", match.group(2))
            inputs.add((archive.group(1), archive.group(2)) if archive else (match.group(2), None))
    return inputs


def source_names(objects):
    """The source files of each object that has debug information: those its line tables name
    inside its package's source tree (the compiled file and the headers of its own it included;
    headers installed on the build machine, the Windows API's declarations, are not followed)."""
    names, current, table, folders = {}, None, None, []
    if objects:
        out = run(OBJDUMP, "--dwarf=rawline", *objects)
        for line in out.splitlines():
            header = re.match(r"^(\S.*):\s+file format ", line)
            if header:
                current, table = header.group(1), None
            elif "The Directory Table" in line:
                table, folders = "folders", []
            elif "The File Name Table" in line:
                table = "files"
            elif not line.strip() or "Line Number Statements" in line:
                table = None if not line.strip() and table == "files" else table
            elif table and re.match(r"^\s+\d+\s", line):
                fields = line.split("\t")
                name = re.sub(r"^\(indirect line string, offset: 0x[0-9a-f]+\): ", "", fields[-1].strip())
                if table == "folders":
                    folders.append(name)
                elif len(fields) >= 3 and fields[1].strip().isdigit():
                    folder = int(fields[1])
                    path = name if folder == 0 or os.path.isabs(name) else folders[folder] + "/" + name
                    if not os.path.isabs(path) and not name.startswith("<"):  # <built-in>
                        names.setdefault(current, set()).add(os.path.normpath(path))
    return names


def rule_sources(rules, path):
    stem = re.sub(r"^lib", "", os.path.basename(path)).split(".")[0]
    for glob, *sources in rules["source"]:
        if fnmatchcase(path, glob):
            return [s.replace("{stem}", stem) for s in sources]
    return None


def library_sources(rules, inputs, binary):
    """{library path: set of source paths} for the third-party inputs of one program; our own
    objects (inside the build tree: relative paths) are left out."""
    outside = {os.path.normpath(f) for f, _ in inputs if os.path.isabs(f)}
    for f, _ in inputs:
        if not os.path.isabs(f) and f.startswith(".."):
            raise Refused("%s holds %s, outside the build tree and no package's" % (binary, f))
    sources = {path: set() for path in outside}
    with tempfile.TemporaryDirectory() as scratch:
        extracted = {}
        for number, archive in enumerate(sorted({f for f, m in inputs if m and os.path.isabs(f)})):
            members = sorted({m for f, m in inputs if f == archive})
            folder = os.path.join(scratch, str(number))
            os.mkdir(folder)
            run("ar", "x", os.path.abspath(archive), *members, cwd=folder)
            extracted.update({os.path.join(folder, m): (os.path.normpath(archive), m) for m in members})
        extracted.update({os.path.normpath(f): (os.path.normpath(f), None) for f, m in inputs if not m and os.path.isabs(f)})
        named = source_names(sorted(extracted))
        for obj, (library, member) in extracted.items():
            if obj in named:
                sources[library].update(named[obj])
            else:
                given = rule_sources(rules, library)
                if given is None:
                    what = "%s(%s)" % (library, member) if member else library
                    raise Refused("%s holds %s, which names no source file, and no source line in %s gives one"
                                  % (binary, what, NOT_OURS))
                sources[library].update(given)
    return sources


def nsis_parts(script):
    """The NSIS files the setup program (and its uninstaller) is made of, by its preprocessed
    script: the stub its compressor chose, its user interface, the plug-ins its code calls; and
    the files it carries."""
    nsisdir = re.search(r"NSISDIR=([^,\n]+)", run("makensis", "-HDRINFO")).group(1).strip()
    with open(script, encoding="utf-8") as f:
        text = f.read()
    settings = {k.lower(): v for k, v in re.findall(r"^\s*(Unicode|Target|SetCompressor)\s+(.*?)\s*$", text, re.M | re.I)}
    words = settings.get("setcompressor", "zlib").split()
    solid = "_solid" if "/SOLID" in [w.upper() for w in words] else ""
    unicode = settings.get("unicode", "false").lower() == "true"
    target = settings.get("target", "x86-unicode" if unicode else "x86-ansi")
    stub = os.path.join(nsisdir, "Stubs", "%s%s-%s" % (words[-1].lower(), solid, target))
    parts = {"setup": {stub}, "uninstaller": {stub}}
    ui = re.findall(r'^\s*ChangeUI\s+\S+\s+"?([^"\n]+?)"?\s*$', text, re.M)
    parts["setup"].update(os.path.normpath(u.replace("\\", "/")) for u in ui)
    carried, block = [], ""
    for line in text.splitlines():
        line = line.strip()
        opened = re.match(r'(Function|Section)\s+(?:/o\s+)?"?([^"\s]*)', line)
        if opened:
            block = opened.group(2)
        plugin = re.match(r"(\w+)::\w+", line)
        if plugin:
            dll = os.path.join(nsisdir, "Plugins", target, plugin.group(1) + ".dll")
            uninstaller = block.lower().startswith("un.") or block.lower() == "uninstall"
            parts["uninstaller" if uninstaller else "setup"].add(dll)
        if re.match(r"File\s", line):
            source = os.path.normpath([a or b for a, b in re.findall(r'"([^"]*)"|(\S+)', line)][-1].replace("\\", "/"))
            # NSIS's own pictures are its parts; the rest is what the setup program installs.
            (parts["setup"].add if source.startswith(nsisdir + "/") else carried.append)(source)
    for paths in parts.values():
        missing = [p for p in paths if not os.path.isfile(p)]
        if missing:
            raise Refused("the setup program needs %s, which is not here" % ", ".join(missing))
    copyright = re.search(r'^\s*VIAddVersionKey\s.*\bLegalCopyright\s+"([^"]*)"', text, re.M)
    return parts, sorted(set(carried)), copyright.group(1) if copyright else None


# --- Licences -----------------------------------------------------------------------------

def licence_names(expression):
    return [n for n in re.split(r"\s+(?:and|or)\s+|[()]", expression, flags=re.I) if n.strip()]


def spdx(rules, expression):
    """A Debian licence expression in SPDX's words, parenthesised when it has a choice."""
    words = []
    for token in re.split(r"(\s+|[()])", expression):
        if token.lower() in ("and", "or"):
            words.append(token.upper())
        elif token.strip() and token not in "()":
            words.append(rules["licence"][token.lower()]["spdx"])
        else:
            words.append(token)
    text = "".join(words)
    return "(%s)" % text if " OR " in text else text


def freetext_grant(rules, copyright, source):
    """For a copyright file that is not machine-readable: the licence a freetext line names for
    `source`, when the file holds that line's passage."""
    for prefix, licence, start, *lines in rules["freetext"]:
        if source.startswith(prefix):
            position = 0
            for line in lines:
                position = copyright.text.find(line, position)
                if position < 0:
                    raise Refused("%s no longer says %r, which the licence of %s was taken from"
                                  % (copyright.path, line, source))
            held = re.search(re.escape(start) + r".*?(?=\n\s*\n)", copyright.text, re.S)
            return {"copyright": re.sub(r"\s+", " ", held.group(0)) if held else "", "licence": licence}
    raise Refused("%s is not machine-readable, and no freetext line in %s names the licence of %s"
                  % (copyright.path, NOT_OURS, source))


def component_of(rules, source):
    best = None
    for name, *prefixes in rules["component"]:
        for prefix in prefixes:
            if source.startswith(prefix) and (best is None or len(prefix) > len(best[1])):
                best = (name, prefix)
    return best[0] if best else None


def attribute(rules, where):
    """Components from {(file, what it is in): (package, sources)}; each with the grants
    (copyright, licence) of its sources and the files that hold it."""
    components, copyrights = {}, {}
    versions = packages({package for package, _ in where.values()})
    for (library, holder), (package, sources) in sorted(where.items()):
        copyright = copyrights.get(package) or copyrights.setdefault(package, Copyright(package))
        for source in sorted(sources):
            name = component_of(rules, source)
            if name is None:
                raise Refused("%s in %s comes from %s (%s), which no component line in %s names"
                              % (library, holder, source, package, NOT_OURS))
            key = "%s/%s" % (package, name)
            component = components.setdefault(key, {
                "name": name, "package": versions[package], "version": upstream(versions[package]["version"]),
                "copyright_file": copyright.path, "grants": [], "in": [], "libraries": []})
            for list_name, value in (("in", holder), ("libraries", library)):
                if value not in component[list_name]:
                    component[list_name].append(value)
            if copyright.machine_readable:
                grants = [{"copyright": "; ".join(c.strip() for c in s.get("copyright", []) if c.strip()),
                           "licence": s["license"][0]}
                          for s in copyright.stanzas_for(source)]
                if not grants:
                    raise Refused("%s says nothing of %s (%s)" % (copyright.path, source, library))
            else:
                grants = [freetext_grant(rules, copyright, source)]
            for grant in grants:
                for licence in licence_names(grant["licence"]):
                    if licence.lower() not in rules["licence"]:
                        raise Refused("%s (in %s) is under %r, for which %s has no licence line"
                                      % (name, holder, licence, NOT_OURS))
                    text_needed = rules["licence"][licence.lower()]["text"]
                    if text_needed and copyright.machine_readable and licence.lower() not in copyright.texts:
                        raise Refused("%s gives no text of %s, which %s requires" % (copyright.path, licence, name))
                    grant.setdefault("texts", {})[licence] = copyright.texts.get(licence.lower(), "")
                if grant not in component["grants"]:
                    component["grants"].append(grant)
    for component in components.values():
        component["grants"].sort(key=lambda g: (g["licence"].lower(), g["copyright"]))
        component["licence"] = " AND ".join(sorted({spdx(rules, g["licence"]) for g in component["grants"]}))
    return components


# --- THIRD-PARTY-NOTICES.txt --------------------------------------------------------------

def version_string(path, key):
    """A value of the version resource of a Windows program, or None."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(key.encode("utf-16-le") + b"\0\0")
    if at < 6:
        return None
    length = int.from_bytes(data[at - 4:at - 2], "little")
    start = at + (len(key) + 1) * 2
    start += (-(start - at + 6)) % 4
    return data[start:start + 2 * length].decode("utf-16-le").rstrip("\0") if length else None


def notices_text(facts, rules):
    version, components = facts["version"], facts["components"]
    lines = ["Tolvarin %s: third-party notices" % version, "=" * (len(version) + 31), ""]
    lines += wrap(
        "Tolvarin's own programs (%s) are %s's, as their version resources say. Built with MinGW-w64, "
        "each holds code of others, linked in statically: the C++ and C runtime libraries. The setup "
        "program and its uninstaller are the NSIS installer program carrying Tolvarin's files. This file "
        "names that code, its version and licence, and reproduces the notices its licences require of a "
        "program in binary form. It was written when the release was built, from each program's linker "
        "map, the setup program's compressor and plug-ins, the Debian packages they came from and those "
        "packages' copyright files." % (", ".join(facts["binaries"]), facts["owner"].strip()))
    lines += ["", "What each file holds", "--------------------", ""]
    holders = list(facts["binaries"]) + ["setup", "uninstaller"]
    for holder in holders:
        held = sorted({c["name"] for c in components.values() if holder in c["in"]})
        lines += wrap(", ".join(held), "%-27s" % facts["names"].get(holder, holder), " " * 27)
    lines += [""] + wrap(
        "The Windows Installer package holds the programs above and Tolvarin's files; wixl (msitools), "
        "which wrote it, adds none of its code to it: the release checks that every file and stream in "
        "the package is one it was given. The server's files and the serial-port support files are "
        "installed as they were given to the release; their notices are the server's.")
    lines += ["", "Components", "----------"]
    texts = {}
    for key in sorted(components, key=lambda k: components[k]["name"].lower()):
        c = components[key]
        p = c["package"]
        lines += ["", "%s %s" % (c["name"], c["version"])]
        lines += field("Licence:", c["licence"])
        lines += field("In:", ", ".join(facts["names"].get(h, h) for h in holders if h in c["in"]))
        lines += field("From:", "Debian package %s %s (source package %s %s), %s" % (
            p["name"], p["version"], p["source"], p["source_version"], c["copyright_file"]))
        for grant in c["grants"]:
            lines += field("Copyright:", "%s (%s)" % (grant["copyright"], grant["licence"]))
            for name, text in grant["texts"].items():
                licence = rules["licence"][name.lower()]
                if licence["text"]:
                    texts.setdefault((name.lower(), c["copyright_file"]), (name, p["name"], text))
                else:
                    lines += field("", "%s: nothing to reproduce, %s." % (name, licence["why"]))
        if any(rules["licence"][n.lower()]["text"] and "CPL" in rules["licence"][n.lower()]["spdx"]
               for g in c["grants"] for n in g["texts"]):
            lines += field("Source:", "Debian's source package %s %s (apt-get source %s=%s)" % (
                p["source"], p["source_version"], p["source"], p["source_version"]))
    lines += ["", "Licence texts", "-------------"]
    for (_, _), (name, package, text) in sorted(texts.items()):
        lines += ["", "%s, as package %s gives it:" % (name, package), ""]
        lines += ["    " + line if line else "" for line in text.splitlines()]
    return "\r\n".join(lines) + "\r\n"


def field(label, text):
    return wrap(text, "  %-11s" % label, " " * 13)


def wrap(text, indent="", hanging=None, width=96):
    lines, line = [], indent
    for word in text.split():
        if len(line) + len(word) + 1 > width and line.strip():
            lines.append(line.rstrip())
            line = indent if hanging is None else hanging
        line += word + " "
    return lines + [line.rstrip()]


def notices(out, facts_file, version, binaries, setup_script):
    rules = read_rules()
    where, inputs, libraries = {}, {}, {}
    for name, program in binaries:
        map_file = program + ".map"
        if not os.path.isfile(map_file):
            raise Refused("%s: no linker map %s beside it, and the notices are read from it" % (program, map_file))
        inputs[name] = map_inputs(map_file)
    parts, carried, copyright = nsis_parts(setup_script)
    held = {holder: {os.path.normpath(f) for f, _ in found if os.path.isabs(f)} for holder, found in inputs.items()}
    held.update(parts)
    owned = owners(sorted(set().union(*held.values())))
    for holder, paths in held.items():
        for path in sorted(paths):
            if owned[path] is None:
                raise Refused("%s holds %s, which no Debian package owns, so it has no notice" % (holder, path))
    for name, found in inputs.items():
        libraries[name] = library_sources(rules, found, name)
    for holder, paths in parts.items():
        libraries[holder] = {path: set(rule_sources(rules, path) or []) for path in paths}
    for holder, found in libraries.items():
        for path, sources in found.items():
            if not sources:
                raise Refused("%s holds %s, and no source line in %s says what of %s it is"
                              % (holder, path, NOT_OURS, owned[path]))
            where[(path, holder)] = (owned[path], sources)
    owner = copyright or version_string(dict(binaries)["Varnolet.exe"], "CompanyName")
    if not owner:
        raise Refused("no version resource names Tolvarin's copyright holder")
    facts = {"version": version, "binaries": [name for name, _ in binaries],
             "names": {"setup": "Tolvarin-%s-setup.exe" % version, "uninstaller": "Uninstall.exe"},
             "owner": owner, "carried": carried, "components": attribute(rules, where)}
    text = notices_text(facts, rules)
    with open(out, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    with open(facts_file, "w", encoding="utf-8") as f:
        json.dump(facts, f, indent=1, sort_keys=True)


def tools(signed):
    """The Debian packages of the programs that build the release."""
    names = {"g++-mingw-w64-i686-win32": "compiler", "binutils-mingw-w64-i686": "linker",
             "nsis": "setup program (makensis)", "wixl": "Windows Installer package (wixl)",
             "msitools": "Windows Installer tables (msibuild)", "osslsigncode": "Authenticode signatures",
             "openssl": "signature of the bill of materials", "python3": "zip and bill of materials"}
    if not signed:
        del names["osslsigncode"], names["openssl"]
    found = packages(names)
    return {name: dict(found[name], purpose=purpose) for name, purpose in names.items() if name in found}


# --- The Windows Installer package --------------------------------------------------------

def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def files_of(paths):
    for path in paths:
        if os.path.isdir(path):
            for folder, _, names in sorted(os.walk(path)):
                for name in sorted(names):
                    yield os.path.join(folder, name)
        else:
            yield path


def check_msi(facts_file, msi, given, name):
    known = {}
    for path in files_of(given):
        known.setdefault(digest(path), []).append(os.path.abspath(path))
    embedded = []
    with tempfile.TemporaryDirectory() as scratch:
        for stream in run("msiinfo", "streams", msi).split():
            if stream.endswith("SummaryInformation") or stream.endswith(".cab"):
                continue
            out = os.path.join(scratch, "stream")
            with open(out, "wb") as f:
                f.write(subprocess.run(["msiinfo", "extract", msi, stream], check=True, capture_output=True).stdout)
            embedded.append((stream, digest(out)))
        # It writes the Binary and Icon streams into the current directory, whatever -C says.
        run("msiextract", "-C", "files", os.path.abspath(msi), cwd=scratch)
        embedded += [(os.path.relpath(p, scratch), digest(p)) for p in files_of([os.path.join(scratch, "files")])]
    strangers = [what for what, sha in embedded if sha not in known]
    if strangers:
        raise Refused("%s embeds what the release did not give wixl: %s" % (msi, ", ".join(strangers)))
    with open(facts_file, encoding="utf-8") as f:
        facts = json.load(f)
    facts.setdefault("contents", {})[name] = sorted({path for _, sha in embedded for path in known[sha]})
    with open(facts_file, "w", encoding="utf-8") as f:
        json.dump(facts, f, indent=1, sort_keys=True)


# --- The bill of materials ----------------------------------------------------------------

def purl(package):
    return "pkg:deb/debian/%s@%s?arch=%s" % (package["name"], package["version"].replace("+", "%2B"), package["arch"])


def bom(out, facts_file, dist, stage, signed):
    with open(facts_file, encoding="utf-8") as f:
        facts = json.load(f)
    facts["tools"] = tools(signed)
    version, names = facts["version"], facts["names"]
    bom_name, owner = os.path.basename(out), facts["owner"]
    shipped = sorted(n for n in os.listdir(dist) if n not in ("SHA256SUMS", bom_name, bom_name + ".p7s"))
    files, dependencies = {}, {}
    ours = facts["binaries"] + [names["setup"], "Tolvarin-%s.msi" % version, "README.txt"]

    def file_ref(name, path=None, kind="file", sha=None):
        ref = "file:" + name
        if ref not in files:
            entry = {"type": kind, "bom-ref": ref, "name": name}
            if sha or path:
                entry["hashes"] = [{"alg": "SHA-256", "content": sha or digest(path)}]
            if name in ours:  # as the setup program's version resource gives it; no licence invented
                entry["copyright"] = owner
            files[ref] = entry
        return ref

    def inner(path):
        path = os.path.abspath(path)
        for root in (dist, stage):
            if path.startswith(os.path.abspath(root) + os.sep):
                return file_ref(os.path.relpath(path, root), path, kind_of(path))
        return file_ref(os.path.basename(path), path, kind_of(path))

    for name in shipped:
        file_ref(name, os.path.join(dist, name), kind_of(name))
    zip_name = "Tolvarin-%s-win32.zip" % version
    if zip_name in shipped:
        with zipfile.ZipFile(os.path.join(dist, zip_name)) as archive:
            dependencies["file:" + zip_name] = [
                file_ref(i.filename, kind=kind_of(i.filename), sha=hashlib.sha256(archive.read(i)).hexdigest())
                for i in archive.infolist()]
    setup = "file:" + names["setup"]
    dependencies[setup] = [inner(p) for p in facts["carried"]] + [file_ref("Uninstall.exe", kind="application")]
    for msi, contents in facts.get("contents", {}).items():
        dependencies["file:" + msi] = [inner(p) for p in contents]
    components = []
    for key, c in sorted(facts["components"].items()):
        ref = "component:" + key
        components.append({
            "type": "library", "bom-ref": ref, "name": c["name"], "version": c["version"],
            "licenses": [{"expression": c["licence"]}],
            "copyright": "; ".join(sorted({g["copyright"] for g in c["grants"] if g["copyright"]})),
            "purl": purl(c["package"]),
            "evidence": {"occurrences": [{"location": library} for library in sorted(c["libraries"])]},
            "properties": [{"name": "debian:package", "value": "%s %s" % (c["package"]["name"], c["package"]["version"])},
                           {"name": "debian:source", "value": "%s %s" % (c["package"]["source"], c["package"]["source_version"])},
                           {"name": "debian:copyright-file", "value": c["copyright_file"]}]})
        for holder in c["in"]:
            dependencies.setdefault("file:" + names.get(holder, holder), []).append(ref)
    tool_components = [{"type": "application", "bom-ref": "tool:" + name, "name": name, "version": t["version"],
                        "description": t["purpose"], "purl": purl(t)} for name, t in sorted(facts["tools"].items())]
    built_by = {"g++-mingw-w64-i686-win32": facts["binaries"], "binutils-mingw-w64-i686": facts["binaries"],
                "nsis": [names["setup"], "Uninstall.exe"], "wixl": list(facts.get("contents", {})),
                "msitools": list(facts.get("contents", {})), "python3": [zip_name, bom_name]}
    tasks = [{"bom-ref": "task:" + tool, "uid": "task:" + tool, "name": "build with " + tool, "taskTypes": ["build"],
              "inputs": [{"resource": {"ref": "tool:" + tool}}],
              "outputs": [{"resource": {"ref": "file:" + name}} for name in outputs if "file:" + name in files]}
             for tool, outputs in sorted(built_by.items()) if tool in facts["tools"]]
    tasks = [t for t in tasks if t["outputs"]]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    document = {
        "bomFormat": "CycloneDX", "specVersion": "1.6", "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
            "tools": {"components": tool_components},
            "component": {"type": "application", "bom-ref": "tolvarin", "name": "Tolvarin", "version": version,
                          "supplier": {"name": owner}, "copyright": owner},
        },
        "components": [files[ref] for ref in sorted(files)] + components,
        "dependencies": [{"ref": "tolvarin", "dependsOn": ["file:" + n for n in shipped]}] +
                        [{"ref": ref, "dependsOn": sorted(set(deps))} for ref, deps in sorted(dependencies.items())],
        "formulation": [{"bom-ref": "formula:release", "workflows": [{
            "bom-ref": "workflow:release", "uid": "tools/release.sh", "name": "tools/release.sh",
            "taskTypes": ["build"], "tasks": tasks}]}],
    }
    text = json.dumps(document, indent=1, sort_keys=True, ensure_ascii=False) + "\n"
    document["serialNumber"] = "urn:uuid:%s" % uuid.uuid5(uuid.NAMESPACE_URL, hashlib.sha256(text.encode()).hexdigest())
    with open(out, "w", encoding="utf-8") as f:
        f.write(json.dumps(document, indent=1, sort_keys=True, ensure_ascii=False) + "\n")


def kind_of(name):
    return "application" if name.lower().endswith(".exe") else "library" if name.lower().endswith(".dll") else "file"


def main(argv):
    command, rest = argv[0], argv[1:]
    options = {}
    positional = []
    while rest:
        if rest[0].startswith("--"):
            options.setdefault(rest[0][2:], []).append(rest[1])
            rest = rest[2:]
        else:
            positional.append(rest.pop(0))
    try:
        if command == "notices":
            binaries = [b.split("=", 1) for b in options["binary"]]
            notices(positional[0], positional[1], options["version"][0], binaries, options["setup"][0])
        elif command == "msi":
            check_msi(positional[0], positional[1], positional[2:], options["name"][0])
        else:
            bom(positional[0], positional[1], positional[2], options["stage"][0], options.get("signed", [""])[0] == "yes")
    except Refused as refusal:
        sys.exit("notices: %s" % refusal)
    except subprocess.CalledProcessError as failure:
        sys.exit("notices: %s failed: %s" % (failure.cmd[0], failure.stderr.strip()))


if __name__ == "__main__":
    main(sys.argv[1:])
