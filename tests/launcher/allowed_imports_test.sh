#!/bin/sh
# Holds a shipped Windows program to what tests/launcher/imports.txt lets it import: only the
# DLLs listed for it, none of the functions listed as never.
#   allowed_imports_test.sh OBJDUMP PROGRAM LIST [NAME]    NAME: the program's name in LIST
set -eu
objdump="$1" program="$2" list="$3" name="${4:-$(basename "$2")}"
imports=$("$objdump" -p "$program" | awk '/DLL Name:/ { dll = tolower($3) }
  dll && /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ { print dll, $3 }')
[ -n "$imports" ] || { echo "no imports read from $program"; exit 1; }
allowed=$(awk -v name="$name" '$1 == name { print $2 }' "$list")
[ -n "$allowed" ] || { echo "$name: not listed in $list"; exit 1; }
never=$(awk '$1 == "never" { print $2 }' "$list")
status=0
for dll in $(echo "$imports" | cut -d' ' -f1 | sort -u); do
  echo "$allowed" | grep -qxF "$dll" || { echo "$name imports $dll, which $list does not list for it"; status=1; }
done
for function in $never; do
  if echo "$imports" | cut -d' ' -f2 | grep -qxF "$function"; then
    echo "$name imports $function"
    status=1
  fi
done
[ "$status" -ne 0 ] || echo "$name: $(echo "$imports" | wc -l) functions from $(echo "$imports" | cut -d' ' -f1 | sort -u | tr '\n' ' ')"
exit "$status"
