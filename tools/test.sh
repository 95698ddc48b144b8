#!/usr/bin/env bash
# Builds every target (Linux, Linux with sanitizers, Windows x86_64 and i686) and runs
# every test: native tests directly, Windows tests under Wine, inside virtual displays so that
# windows and message boxes are real. Installs what is missing first.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash tools/install-deps.sh

for preset in native native-asan windows-x64 windows-x86; do
  echo "== build $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# Each suite with windows gets a fresh virtual screen at 96 dpi of its own, whatever display
# the caller has: results must not depend on the desktop the tests happen to run on, nor on
# another suite's windows. The shipped i686 build's suite runs beside the rest, where 32-bit
# programs run: natively, or under emulation in a private namespace (with-32bit.sh says which
# on one line); only where neither works do its tests report themselves skipped.
screen=(xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset")
i686_log=build/windows-x86/test.log
echo "== test windows-x86 (beside the rest; its output follows theirs)" >&2
# In a process group of its own, so that a failure here stops all of it.
setsid "${screen[@]}" bash tools/with-32bit.sh ctest --preset windows-x86 >"$i686_log" 2>&1 &
i686=$!
cleanup() {
  kill -- -"$i686" 2>/dev/null && wait "$i686" 2>/dev/null
  rm -rf "${copy:-}"
}
trap cleanup EXIT
"${screen[@]}" bash -c '
  set -e
  for preset in native native-asan windows-x64; do
    echo "== test $preset" >&2
    ctest --preset "$preset"
  done'

# The fuzz targets (the registry export parser, the own containers against std's, the installer's
# rules) under libFuzzer with the sanitizers, each for a bounded time.
echo "== fuzz the parser, the containers and the installer's rules" >&2
bash tests/fuzz/run_fuzz.sh build/fuzz 60

# The release, built twice, in the checkout and in a copy of it, seconds apart: byte for byte
# the same. The first stays in dist/.
echo "== release twice, compared" >&2
copy="$(mktemp -d /tmp/tolvarin-release.XXXXXX)"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$copy"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
bash tools/release.sh
(cd "$copy" && bash tools/release.sh >/dev/null)
diff -r --brief dist "$copy/dist"
echo "== release reproducible: $(cd dist && echo *)" >&2

echo "== test windows-x86" >&2
i686_status=0
wait "$i686" || i686_status=$?
cat "$i686_log"
exit "$i686_status"
