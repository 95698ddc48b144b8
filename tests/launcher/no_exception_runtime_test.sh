#!/bin/sh
# Holds a Windows program, built without exceptions, to carrying none of their runtime: no
# unwinder, no throw and catch support, none of libstdc++'s throwing helpers. Whatever brings
# them back (a standard container, a guarded static, a library call that can throw) adds some
# 40 KB, and shows in the linker's map beside the program, which this reads.
#   no_exception_runtime_test.sh PROGRAM
set -eu
runtime='libgcc_eh\.a\(unwind[^)]*\)'
runtime="$runtime"'|libstdc\+\+\.a\((eh_[a-z_]+|functexcept|functional|guard)\.o\)'
found=$(grep -oE "$runtime" "$1.map" | sort -u)
if [ -n "$found" ]; then
  echo "$(basename "$1") links the exception runtime:"
  echo "$found"
  exit 1
fi
