"""Runtime discovery and support-file deployment end to end, one table for both targets: the
registry, homes and support files laid out; the prompts, runs, exit status and files copied."""

import dataclasses
import os
import pathlib
import typing

from harness import MISSING

SOURCE_FILES = {"Comm.jar": b"comm classes\n" * 64, "javax.comm.properties": b"driver=com.sun.comm.Win32Driver\n",
                "Win32com.dll": b"MZ native serial port\n" * 32}
# Where each support file goes, below the runtime's home.
DESTINATIONS = {"Comm.jar": ["lib", "ext"], "javax.comm.properties": ["lib"], "Win32com.dll": ["bin"]}
NO_RUNTIME_KEY = ("You have not Installed Java Runtime Environment on your computer.\r\n"
                  "Download and install Java Runtime Environment Version 1.5 or higher version.\r\n"
                  "Please refer installtion guide of Tessamorn for further help")
NO_QUALIFYING = "Java Runtime Environment version 1.5 or higher version is not avaiable"
SEARCH_FAILED = "Error While Searching JVM on Your Machine"
COPY_FAILED = "Error While Copying JAR File"


@dataclasses.dataclass
class Home:
    """A runtime's home directory as the test lays it out."""
    name: str                      # directory name under the scenario's temp dir
    ext_dir: bool = True           # whether lib/ext exists
    # Files already there; None: a directory under that name.
    present: typing.Dict[str, typing.Optional[bytes]] = dataclasses.field(default_factory=dict)
    trailing_separator: bool = False  # registered with a separator at the end


@dataclasses.dataclass
class Scenario:
    description: str
    # Subkeys in file order: name -> Home, JavaHome's text or bytes, or MISSING; None: no runtimes key.
    runtimes: typing.Optional[typing.List[typing.Tuple[str, object]]]
    expected_prompts: typing.List[object]       # exact texts, or Contains(...)
    expected_home: typing.Optional[str]          # home name whose java starts; "" for java on PATH; None: nothing
    expected_status: int = 0
    sources: typing.Tuple[str, ...] = tuple(SOURCE_FILES)
    expected_copied: typing.Tuple[str, ...] = ()  # files the chosen home gains
    launchers: int = 1                            # started at once
    source_scale: int = 1                         # each source file's content repeated
    platforms: typing.Tuple[str, ...] = ("posix", "win32")
    other_view: bool = False                      # registered in the registry view the launcher does not read


class Contains(str):
    """An expected prompt that only has to contain this text."""


def prompt_matches(expected, prompt):
    return expected in prompt if isinstance(expected, Contains) else expected == prompt


def runtime(name, **home):
    return (name, Home(name="jre" + name.replace(".", "_"), **home))


ALL = tuple(SOURCE_FILES)
OLD_COMM = b"an older Comm.jar\n"

SCENARIOS = [
    Scenario("the first name of 1.5 or later is chosen, not the newest; all files copied",
             [runtime("1.4"), runtime("1.4.2_06"), runtime("1.5"), runtime("1.5.0_06"), runtime("1.6"),
              runtime("1.6.0")],
             [], "jre1_5", expected_copied=ALL),
    Scenario("a name that is not a number, met first: type mismatch, then java from the search path",
             [runtime("0ab"), runtime("1.5")], ["Type mismatch", SEARCH_FAILED], ""),
    Scenario("no runtimes key: three lines, then the end", None, [NO_RUNTIME_KEY], None, expected_status=2),
    Scenario("registered only in the other registry view (64-bit for the i686 build, 32-bit for x86_64): "
             "not seen", [runtime("1.5")], [NO_RUNTIME_KEY], None, expected_status=2, other_view=True,
             platforms=("win32",)),
    Scenario("runtimes key without subkeys", [], [NO_QUALIFYING], None, expected_status=2),
    Scenario("only runtimes older than 1.5", [runtime("1.3"), runtime("1.4.2_06")], [NO_QUALIFYING], None,
             expected_status=2),
    Scenario("missing JavaHome: unsupported value type, java from the search path", [("1.5", MISSING)],
             ["Unsupported value type", SEARCH_FAILED], ""),
    Scenario("binary JavaHome: type mismatch, java from the search path", [("1.5", b"C:")],
             ["Type mismatch", SEARCH_FAILED], ""),
    Scenario("home registered with a trailing separator is used as given",
             [runtime("1.5", trailing_separator=True)], [], "jre1_5", expected_copied=ALL),
    Scenario("home with spaces and a non-ASCII character",
             [("1.6", Home(name="Java Laufzeit \u00fc"))], [], "Java Laufzeit \u00fc", expected_copied=ALL),
    # A copy never replaces, so only a source that is missing shows a copy tried needlessly.
    Scenario("all support files present, their sources missing: nothing copied, nothing said",
             [runtime("1.5", present=dict(SOURCE_FILES))], [], "jre1_5", sources=()),
    Scenario("an older file is not replaced",
             [runtime("1.5", present={"Comm.jar": OLD_COMM})], [], "jre1_5",
             expected_copied=("javax.comm.properties", "Win32com.dll")),
    Scenario("a missing source stops the rows after it; the home is kept",
             [runtime("1.5")], [Contains("javax.comm.properties"), COPY_FAILED], "jre1_5",
             sources=("Comm.jar", "Win32com.dll"), expected_copied=("Comm.jar",)),
    Scenario("no lib/ext: the first row fails, the others are not tried",
             [runtime("1.5", ext_dir=False)], [Contains("ext"), COPY_FAILED], "jre1_5"),
    Scenario("a directory named Comm.jar in lib/ext is no Comm.jar: the copy fails",
             [runtime("1.5", present={"Comm.jar": None})], [Contains("Comm.jar"), COPY_FAILED], "jre1_5"),
    Scenario("two launchers at once copying the same files: neither says anything, each file whole",
             [runtime("1.5")], [], "jre1_5", expected_copied=ALL, launchers=2, source_scale=4096),
]


def registry_runtimes(scenario, home_value):
    """The runtimes for harness.export_registry; `home_value(home)` gives a Home's JavaHome."""
    if scenario.runtimes is None:
        return None
    return [(name, home_value(home) if isinstance(home, Home) else home) for name, home in scenario.runtimes]


def lay_out(scenario, root):
    """Creates the homes and the source directory under `root`; returns the homes by name."""
    homes = {}
    for _, home in scenario.runtimes or []:
        if not isinstance(home, Home):
            continue
        directory = os.path.join(root, home.name)
        for sub in (["lib", "ext"] if home.ext_dir else ["lib"]), ["bin"]:
            os.makedirs(os.path.join(directory, *sub), exist_ok=True)
        for file_name, data in home.present.items():
            path = os.path.join(directory, *DESTINATIONS[file_name], file_name)
            if data is None:
                os.mkdir(path)
            else:
                pathlib.Path(path).write_bytes(data)
        homes[home.name] = (home, directory)
    return homes


def write_sources(scenario, directory):
    os.makedirs(directory, exist_ok=True)
    for file_name in scenario.sources:
        pathlib.Path(directory, file_name).write_bytes(SOURCE_FILES[file_name] * scenario.source_scale)


def home_files(directory):
    """A home's files but the stub java: support files in their place by name, others (a copy
    in the wrong place, a temporary left behind) by their path."""
    found = {}
    for parent, _, names in os.walk(directory):
        for name in set(names) - {"java", "java.exe"}:
            path = os.path.relpath(os.path.join(parent, name), directory).split(os.sep)
            found[name if path[:-1] == DESTINATIONS.get(name) else "/".join(path)] = pathlib.Path(parent, name).read_bytes()
    return found
