#!/usr/bin/env bash
# Builds the export-file parser's fuzz target with clang's libFuzzer and the address and
# undefined-behaviour sanitizers, then runs it for <seconds> from the committed seed
# corpus. Exits non-zero on a crash, leak, timeout or sanitizer report; the input that
# caused it is left in <build-dir> as crash-*, leak-* or timeout-*.
#   usage: tests/fuzz/run_fuzz.sh <build-dir> <seconds>
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 <build-dir> <seconds>" >&2
  exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
mkdir -p "$1/corpus"
build="$(cd "$1" && pwd)"
seconds="$2"

sources=(tests/fuzz/reg_file_fuzzer.cpp registry/reg_file_store.cpp registry/registry.cpp
         registry/registry_api_posix.cpp registry/text_codec.cpp)
echo "== building $build/reg_file_fuzzer" >&2
clang++ -std=c++20 -g -O1 -Wall -Wextra -Werror -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "${sources[@]/#/$root/}" -o "$build/reg_file_fuzzer"

echo "== fuzzing for $seconds s" >&2
# New inputs go to the build directory's corpus; the committed seeds are only read.
exec "$build/reg_file_fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -dict="$root/tests/fuzz/reg.dict" -artifact_prefix="$build/" \
  -print_final_stats=1 "$build/corpus" "$root/tests/fuzz/corpus"
