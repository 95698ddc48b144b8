#!/usr/bin/env bash
# Builds each fuzz target below with libFuzzer and the address and undefined-behaviour sanitizers
# and runs it for <seconds> from tests/fuzz/corpus/<name>/: seeds, and each input that once found
# a fault, kept there with the fix as a regression row. Every target runs; exits non-zero on any
# crash, leak, timeout or difference, the input left as <build-dir>/<name>-crash-* (leak-*,
# timeout-*).
#   usage: tests/fuzz/run_fuzz.sh <build-dir> <seconds>
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <build-dir> <seconds>" >&2; exit 2; }
mkdir -p "$1"
build="$(cd "$1" && pwd)" seconds="$2"
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

# One row a target: name (tests/fuzz/<name>_fuzzer.cpp)|the sources it tests|libFuzzer's options.
targets=(
  "reg_file|registry/reg_file_store.cpp registry/registry.cpp registry/registry_api_posix.cpp registry/text_codec.cpp|-max_len=4096 -dict=tests/fuzz/reg.dict"
  "containers||-max_len=4096"
  "local_folder|installer/rule/local_folder.cpp|-max_len=256"
  "folder_trust|installer/rule/folder_trust.cpp|-max_len=256"
  "action_data|installer/rule/action_data.cpp installer/rule/local_folder.cpp|-max_len=512"
)

status=0
for row in "${targets[@]}"; do
  IFS='|' read -r name sources options <<<"$row"
  echo "== building $build/${name}_fuzzer, then fuzzing it for $seconds s" >&2
  clang++ -std=c++20 -g -O1 -Wall -Wextra -Werror -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
    "tests/fuzz/${name}_fuzzer.cpp" $sources -o "$build/${name}_fuzzer"
  # New inputs go to the build directory's corpus; the committed one is only read.
  mkdir -p "$build/corpus/$name"
  "$build/${name}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 $options \
    -artifact_prefix="$build/$name-" -print_final_stats=1 \
    "$build/corpus/$name" "tests/fuzz/corpus/$name" || status=1
done
exit "$status"
