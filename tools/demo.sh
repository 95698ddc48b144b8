#!/usr/bin/env bash
# Runs the Linux launcher on a bundled demo installation: builds it, lays out a temporary
# install directory with the server's jar files (a stand-in server compiled from
# demo/server), and runs the launcher there. Uses the current display, or starts a virtual
# one and saves a screenshot of the splash when there is none.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target varnolet

demo="$(mktemp -d /tmp/tolvarin-demo.XXXXXX)"
install_dir="$demo/SMS Server"
mkdir -p "$install_dir/DOZOZIR/lib" "$install_dir/VUVUDIV/lib" "$demo/classes" "$demo/empty"
javac -d "$demo/classes" demo/server/Quindrel/Frame11.java
jar cf "$install_dir/DOZOZIR/lib/Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar" \
  -C "$demo/classes" Quindrel
# The libraries the real server ships with; here empty jars that only need to exist.
for jar in DOZOZIR/lib/comm.jar DOZOZIR/lib/jdc.jar DOZOZIR/lib/jxl.jar \
           DOZOZIR/lib/swing-layout-1.0.jar VUVUDIV/lib/win32com.dll.jar; do
  jar cf "$install_dir/$jar" -C "$demo/empty" .
done
cp build/native/launcher/varnolet "$install_dir/"
echo "Demo installation: $install_dir" >&2

# The server inherits the launcher's output; `cat` ends when both have closed it.
run='"$install_dir/varnolet" | cat; echo "Launcher exit status: ${PIPESTATUS[0]}" >&2'
export install_dir

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  bash -c "$run"
else
  shot="$demo/splash.png"
  export shot
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash -c "
    ($run) &
    sleep 1
    import -window root \"\$shot\"
    wait"
  echo "Screenshot of the splash: $shot" >&2
fi
