#!/usr/bin/env bash
# Builds Tolvarin's Windows Installer package from tolvarin.wxs with wixl, adds with msibuild
# what wixl cannot write (tables.sql, and the server's folders), and fails unless every custom
# action and sequence row the package relies on is in it (required-rows.txt): wixl drops or
# changes some rows without a word. The same inputs and SOURCE_DATE_EPOCH give the same bytes.
#
#   installer/msi/build_msi.sh VERSION OUT.msi WORK --exe FILE --helper FILE --actions FILE
#                              --server DIR --support DIR --icon FILE --notices FILE
#
# WORK: a new directory for what the build stages (wixl takes sources by relative name only).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
[ $# -ge 3 ] || { echo "usage: build_msi.sh VERSION OUT.msi WORK --exe FILE ..." >&2; exit 64; }
version="$1" out="$2" work="$3"
: "${SOURCE_DATE_EPOCH:?set it: the time of the files and the summary}"
shift 3
mkdir "$work"
while [ $# -ge 2 ]; do
  case "$1" in
    --exe) cp -- "$2" "$work/Varnolet.exe" ;;
    --helper) cp -- "$2" "$work/TolvarinHelper.exe" ;;
    --actions) cp -- "$2" "$work/TolvarinSetupActions.dll" ;;
    --server) cp -r -- "$2" "$work/server" ;;
    --support) cp -r -- "$2" "$work/GsmModemJar" ;;
    --icon) cp -- "$2" "$work/varnolet.ico" ;;
    --notices) cp -- "$2" "$work/THIRD-PARTY-NOTICES.txt" ;;
    *) echo "unknown option: $1" >&2; exit 64 ;;
  esac
  shift 2
done
[ $# -eq 0 ] || { echo "$1 needs a value" >&2; exit 64; }
cp "$here/tolvarin.wxs" "$work/"
# The cabinet keeps each file's time.
find "$work" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
cd "$work"
python3 "$here/wix_files.py" server server-files.wxi server-files.sql

# wixl says what it ignores (an attribute it does not know) and goes on: here that fails.
wixl -a x86 -D "Version=$version" -D "ProductCode=$(python3 "$here/summary.py" product "$version")" \
  -D Exe=Varnolet.exe -D Helper=TolvarinHelper.exe -D Actions=TolvarinSetupActions.dll \
  -D SupportDir=GsmModemJar -D Icon=varnolet.ico -D Notices=THIRD-PARTY-NOTICES.txt -o package.msi tolvarin.wxs \
  2>wixl.log
if [ -s wixl.log ]; then
  cat wixl.log >&2
  exit 1
fi
queries=()
while IFS= read -r query; do
  case "$query" in ''|--*) ;; *) queries+=(-q "$query") ;; esac
done < <(cat "$here/tables.sql" server-files.sql)
msibuild package.msi "${queries[@]}"

# The package code last, from the bytes with everything else final.
summary() { msibuild package.msi -s "Tolvarin $version" "quarvel " "Intel;1033" "$1"; }
summary "{00000000-0000-0000-0000-000000000000}"
python3 "$here/summary.py" times package.msi "$SOURCE_DATE_EPOCH"
summary "$(python3 "$here/summary.py" code package.msi "Tolvarin $version")"
python3 "$here/summary.py" times package.msi "$SOURCE_DATE_EPOCH"
stamp="$(date -u -d "@$SOURCE_DATE_EPOCH" '+%a %b %e %H:%M:%S %Y')"
if [ "$(TZ=UTC msiinfo suminfo package.msi | grep -c "^\(Created\|Last saved\): $stamp\$")" -ne 2 ]; then
  echo "package.msi: its summary times are not SOURCE_DATE_EPOCH ($stamp)" >&2
  exit 1
fi
python3 "$here/check_tables.py" package.msi "$version"
cd - >/dev/null
mv "$work/package.msi" "$out"
