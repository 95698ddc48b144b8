#!/bin/sh
# Varnolet.exe's PE flags and resources. What it may import, allowed_imports_test.sh holds it to.
set -eu
objdump="$1"
exe="$2"
# Address-space layout randomisation (64-bit wide in a 64-bit program), no-execute data and no
# terminal-server compatibility shims, as any program a user runs.
headers=$(TZ=UTC0 "$objdump" -p "$exe")
flags="DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE"
echo "$headers" | grep -q -E '^Magic\s+020b' && flags="$flags HIGH_ENTROPY_VA"
for flag in $flags; do
  echo "$headers" | grep -q -w "$flag" || { echo "not linked with $flag"; exit 1; }
done
# Reproducible: no link time in the header.
echo "$headers" | grep -q -E '^Time/Date\s+Thu Jan  1 00:00:00 1970' || { echo "carries a link time stamp"; exit 1; }
# A GUI program: no console window flashes up when the user double-clicks it.
echo "$headers" | grep -q -E '^Subsystem\s+0*2\s' || { echo "not a GUI-subsystem program"; exit 1; }
# Resources as type/name where the system looks for them: icon images (3) and their group (14)
# under IDI_VARNOLET, the process's manifest (24/1), the version (16/1), the splash picture as
# raw data (10/101). The picture's bytes show in the splash screenshot.
resources=$(echo "$headers" | awk '/Resource Directory/ { on = 1 }
  on && /^[0-9a-f]+   Entry:/ { type = substr($4, 1, 8) }
  on && /^[0-9a-f]+     Entry:/ { print type "/" substr($4, 1, 8) }' | sort | tr '\n' ' ')
expected="0x000003/0x000001 0x000003/0x000002 0x00000a/0x000065 0x00000e/0x000001 0x000010/0x000001 0x000018/0x000001 "
[ "$resources" = "$expected" ] || { echo "resources: $resources, not $expected"; exit 1; }
