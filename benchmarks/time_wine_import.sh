#!/usr/bin/env bash
# Times `wine reg import` of the benchmark's generated export (100,000 keys, about 50 MB)
# in a throw-away Wine prefix, beside the store's load of the same file, and prints both
# and their ratio. Takes minutes; not part of the tests.
#   usage: benchmarks/time_wine_import.sh <native-build-dir>
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 <native-build-dir>" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
bench="$build/benchmarks/registry_benchmark"
work="$(mktemp -d "$build/wine-import.XXXXXX")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  wineserver -k 2>/dev/null || true  # this prefix's server only
  rm -rf "$work"
}
trap cleanup EXIT

"$bench" --write_export="$work/export.reg"
echo "export: $(stat -c %s "$work/export.reg") bytes" >&2
store_ms="$("$bench" --benchmark_filter=BM_LoadExport --benchmark_format=json |
  python3 -c 'import json, sys; print(round(json.load(sys.stdin)["benchmarks"][0]["real_time"]))')"

wineboot -i >/dev/null 2>&1
wineserver -w
start="$(date +%s%N)"
wine reg import "Z:$work/export.reg" /reg:32 >/dev/null  # the view the shipped build reads
end="$(date +%s%N)"
wine_ms=$(( (end - start) / 1000000 ))

echo "store load of the export:  ${store_ms} ms"
echo "wine reg import of it:     ${wine_ms} ms"
python3 -c "print('ratio wine / store:        %.1f' % ($wine_ms / $store_ms))"
