#!/usr/bin/env bash
# Builds each fuzz target below with libFuzzer and the address and undefined-behaviour sanitizers
# and runs it for <seconds> from tests/fuzz/corpus/<name>/: seeds, and each input that once found
# a fault, kept there with the fix. Exits non-zero on any crash, leak, timeout or difference; the
# input is left as <build-dir>/<name>/crash-* (leak-*, timeout-*).
#   usage: tests/fuzz/run_fuzz.sh <build-dir> <seconds>
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <build-dir> <seconds>" >&2; exit 2; }
mkdir -p "$1"
build="$(cd "$1" && pwd)" seconds="$2"
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

# One target a row: name|sources, the target's first|libFuzzer's options.
targets=(
  "reg_file|tests/fuzz/reg_file_fuzzer.cpp registry/reg_file_store.cpp registry/registry.cpp
   registry/registry_api_posix.cpp registry/text_codec.cpp|-max_len=4096 -dict=tests/fuzz/reg.dict"
  "containers|tests/fuzz/containers_fuzzer.cpp|-max_len=4096"
)

status=0
for row in "${targets[@]}"; do
  IFS='|' read -r name sources options <<<"$(echo $row)"
  out="$build/$name"
  mkdir -p "$out/corpus"
  echo "== building $out/fuzzer" >&2
  clang++ -std=c++20 -g -O1 -Wall -Wextra -Werror -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. $sources -o "$out/fuzzer"
  echo "== fuzzing $name for $seconds s" >&2
  # New inputs go to the build directory's corpus; the committed one is only read.
  "$out/fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 $options \
    -artifact_prefix="$out/" -print_final_stats=1 "$out/corpus" "tests/fuzz/corpus/$name" ||
    status=1
done
exit "$status"
