#!/usr/bin/env bash
# Runs the Linux launcher on a demo machine laid out in a temporary directory: an
# installation with the server's jar files (demo/make_standins.py),
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
support="$demo/GsmModemJar"
python3 demo/make_standins.py "$install_dir" "$support"
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
