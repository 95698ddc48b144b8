#!/bin/sh
# Holds a shipped Windows program, as the 32-bit build makes it, to at most 150,000 bytes: what
# the download and the installer carry. ctest runs it on the 32-bit build, tools/release.sh on
# what it ships.
#   shipped_size_test.sh PROGRAM [NAME]    NAME: the program's name in what is said
set -eu
program="$1" name="${2:-$(basename "$1")}" limit=150000
size=$(wc -c <"$program")
if [ "$size" -gt "$limit" ]; then
  echo "$name: $size bytes, more than $limit; benchmarks/size_figures.py shows where they come from"
  exit 1
fi
echo "$name: $size bytes"
