#!/usr/bin/env bash
# Prints the release's figures: the release command's time from a clean build tree, the sizes
# of the installer, the package and the zip, and, under Wine (median of N runs in a throw-away
# WoW64 prefix, one wineserver for all): the setup program's silent install, its install again
# over the first (an upgrade in place) and the uninstall Add/Remove Programs records, without and
# with a Java runtime for Setup to prepare; the package's install, its upgrade from an older
# version of the same files and its removal. Not part of the tests; where the kernel runs no
# 32-bit programs, run it under tools/with-32bit.sh.
#   usage: benchmarks/release_figures.sh [runs] [checkout]
# CHECKOUT (default: this one) is the tree whose release is built and measured, so that two
# commits are measured by the same script on the same machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-5}"
tree="$(cd "${2:-$root}" && pwd)"
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
(cd "$tree" && bash tools/release.sh --build-dir "$work/build" --dist "$work/dist" >/dev/null 2>&1)
echo "release command:  $(( $(now_ms) - start )) ms ($(git -C "$tree" log -1 --format=%h))"
echo "installer:        $(stat -c %s "$work"/dist/*-setup.exe) bytes"
echo "package:          $(stat -c %s "$work"/dist/*.msi) bytes"
echo "zip:              $(stat -c %s "$work"/dist/*-win32.zip) bytes"
# The same files as an older version, for the package's upgrade.
stage="$work/build/stage"
(cd "$tree" && SOURCE_DATE_EPOCH=1700000000 bash installer/msi/build_msi.sh 0.9.0 "$work/older.msi" \
  "$work/older.work" --exe "$work/dist/Varnolet.exe" --helper "$stage/TolvarinHelper.exe" \
  --actions "$stage/TolvarinSetupActions.dll" --server "$stage/server" --support "$stage/GsmModemJar" \
  --icon assets/varnolet.ico --notices "$stage/THIRD-PARTY-NOTICES.txt" >/dev/null)
package="$(winepath -w "$(ls "$work"/dist/*.msi)")" older="$(winepath -w "$work/older.msi")"

wine wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p  # one server for every run: no run pays for Wine's start
target='C:\Tolvarin'
msiexec='C:\windows\syswow64\msiexec.exe'
# Each install with no Java runtime registered, then with one whose support files Setup copies.
runtime="$WINEPREFIX/drive_c/jre"
timed() {  # the command's time in ms, after it ended with status 0
  local begin
  begin="$(now_ms)"
  "$@" >/dev/null 2>&1 || { echo "FAILED"; return; }
  echo $(( $(now_ms) - begin ))
}
times() {
  for _ in $(seq "$runs"); do
    rm -rf "$runtime" && mkdir -p "$runtime/lib/ext" "$runtime/bin"
    echo "$(timed wine "$work"/dist/*-setup.exe /S "/D=$target")" \
         "$(timed wine "$work"/dist/*-setup.exe /S "/D=$target")" \
         "$(timed wine "$target\\TolvarinHelper.exe" uninstall /S)"
  done >"$work/times"
}
report() {
  echo "setup, install ($1):   $(cut -d' ' -f1 "$work/times" | median) ms, median of $runs"
  echo "setup, install again:  $(cut -d' ' -f2 "$work/times" | median) ms"
  echo "setup, uninstall:      $(cut -d' ' -f3 "$work/times" | median) ms"
}
times
report "no runtime registered"
/usr/lib/wine/wine64 reg add 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment\1.5' /v JavaHome /d 'C:\jre' /f /reg:32 >/dev/null
times
report "runtime prepared"
for _ in $(seq "$runs"); do
  echo "$(timed wine "$msiexec" /i "$package" /qn "INSTALLFOLDER=$target")" \
       "$(timed wine "$msiexec" /x "$package" /qn)" \
       "$(timed wine "$msiexec" /i "$older" /qn "INSTALLFOLDER=$target")" \
       "$(timed wine "$msiexec" /i "$package" /qn)" \
       "$(timed wine "$msiexec" /x "$package" /qn)"
done >"$work/times"
echo "package, install:      $(cut -d' ' -f1 "$work/times" | median) ms, median of $runs (runtime prepared)"
echo "package, remove:       $(cut -d' ' -f2 "$work/times" | median) ms"
echo "package, upgrade:      $(cut -d' ' -f4 "$work/times" | median) ms (from 0.9.0)"
echo "package, remove after: $(cut -d' ' -f5 "$work/times" | median) ms"
