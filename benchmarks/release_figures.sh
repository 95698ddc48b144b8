#!/usr/bin/env bash
# Prints the release's figures: the release command's time from a clean build tree, the sizes
# of the installer and the zip, and the silent install and uninstall times under Wine (median
# of N runs in a throw-away WoW64 prefix), without and with a Java runtime for Setup to prepare.
# The uninstall is the one Add/Remove Programs records, which ends when the uninstall has. Not
# part of the tests; where the kernel runs no 32-bit programs, run it under tools/with-32bit.sh.
#   usage: benchmarks/release_figures.sh [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-5}"
work="$(mktemp -d /tmp/tolvarin-release-figures.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  wineserver -k 2>/dev/null || true  # this prefix's server only
  rm -rf "$work"
}
trap cleanup EXIT
now_ms() { date +%s%3N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

start="$(now_ms)"
bash "$root/tools/release.sh" --build-dir "$work/build" --dist "$work/dist" >/dev/null 2>&1
echo "release command:  $(( $(now_ms) - start )) ms"
echo "installer:        $(stat -c %s "$work"/dist/*-setup.exe) bytes"
echo "zip:              $(stat -c %s "$work"/dist/*-win32.zip) bytes"

wine wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p  # one server for every run: no run pays for Wine's start
target='C:\Tolvarin'
# Each install with no Java runtime registered, then with one whose support files Setup copies.
runtime="$WINEPREFIX/drive_c/jre"
times() {
  for _ in $(seq "$runs"); do
    rm -rf "$runtime" && mkdir -p "$runtime/lib/ext" "$runtime/bin"
    start="$(now_ms)"
    wine "$work"/dist/*-setup.exe /S "/D=$target"
    middle="$(now_ms)"
    wine "$target\\TolvarinHelper.exe" uninstall /S
    end="$(now_ms)"
    echo "$(( middle - start )) $(( end - middle ))"
  done >"$work/times"
}
times
echo "install (silent, no runtime registered): $(cut -d' ' -f1 "$work/times" | median) ms, median of $runs"
echo "uninstall:        $(cut -d' ' -f2 "$work/times" | median) ms, median of $runs"
/usr/lib/wine/wine64 reg add 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment\1.5' /v JavaHome /d 'C:\jre' /f /reg:32 >/dev/null
times
echo "install (silent, runtime prepared):      $(cut -d' ' -f1 "$work/times" | median) ms, median of $runs"
