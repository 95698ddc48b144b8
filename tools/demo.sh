#!/usr/bin/env bash
# Runs the Linux launcher on a demo machine laid out in a temporary directory: an
# installation with the server's jar files (a stand-in server compiled from demo/server),
# two Java runtimes registered as 1.4 and 1.5 in a generated registry export (the 1.5
# home's bin/java is this machine's Java), and the support files' source directory.
# The launcher runs twice (demo/show_runs.sh): the first run copies the support files into
# the 1.5 home and starts the server, the second copies nothing. Uses the current display,
# or starts a virtual one and saves a screenshot of the splash when there is none.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target varnolet

demo="$(mktemp -d /tmp/tolvarin-demo.XXXXXX)"
install_dir="$demo/SMS Server"
mkdir -p "$install_dir/DOZOZIR/lib" "$install_dir/VUVUDIV/lib" "$demo/classes"
javac -d "$demo/classes" demo/server/Quindrel/Frame11.java
jar cf "$install_dir/DOZOZIR/lib/Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar" \
  -C "$demo/classes" Quindrel
# The libraries the real server ships with, and the serial-port class library: empty jars
# that only need to exist.
support="$demo/GsmModemJar"
mkdir -p "$support"
python3 - "$install_dir"/DOZOZIR/lib/{comm.jar,jdc.jar,jxl.jar,swing-layout-1.0.jar} \
  "$install_dir/VUVUDIV/lib/win32com.dll.jar" "$support/Comm.jar" <<'PY'
import sys, zipfile
for path in sys.argv[1:]:
    with zipfile.ZipFile(path, "w") as jar:
        jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n\r\n")
PY
echo "driver=com.sun.comm.Win32Driver" >"$support/javax.comm.properties"
echo "stand-in for the serial-port native library" >"$support/Win32com.dll"
cp build/native/launcher/varnolet "$install_dir/"

# Two runtime homes. Only 1.5 runs anything: its java is this machine's (a symlink to the
# real binary, which still finds its own libraries through its resolved path).
home14="$demo/Java/jre1.4" home15="$demo/Java/jre1.5"
for home in "$home14" "$home15"; do mkdir -p "$home/lib/ext" "$home/bin"; done
ln -s "$(readlink -f "$(command -v java)")" "$home15/bin/java"
python3 demo/make_registry.py "$demo/registry.reg" "1.4=$home14" "1.5=$home15"

export DEMO_LAUNCHER="$install_dir/varnolet" DEMO_HOME_14="$home14" DEMO_HOME_15="$home15"
export TOLVARIN_REGISTRY_FILE="$demo/registry.reg" TOLVARIN_SUPPORT_DIR="$support"
echo "Demo machine:         $demo"
echo "Launcher:             $DEMO_LAUNCHER"
echo "Registry export:      TOLVARIN_REGISTRY_FILE=$TOLVARIN_REGISTRY_FILE"
echo "  HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.4  JavaHome=$home14"
echo "  HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.5  JavaHome=$home15"
echo "Support files source: TOLVARIN_SUPPORT_DIR=$support"
echo "  $(cd "$support" && ls | tr '\n' ' ')"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  bash demo/show_runs.sh
else
  export DEMO_SHOT="$demo/splash.png"
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -noreset" bash demo/show_runs.sh
  echo
  echo "Screenshot of the splash: $DEMO_SHOT"
fi
