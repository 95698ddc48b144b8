#!/usr/bin/env bash
# Runs COMMAND where 32-bit x86 programs run, and says on one line (stderr) how:
#   natively                 when this machine's kernel runs them;
#   under emulation          otherwise, with qemu-i386 registered for 32-bit ELF programs in
#                            the binfmt_misc of a private user and mount namespace (kernels
#                            from 6.7 give each user namespace its own), which COMMAND and
#                            everything it starts (Wine's server included) run inside;
#   not at all               where neither works: COMMAND still runs, and the 32-bit Windows
#                            tests report themselves skipped with the reason.
# Nothing changes outside the namespace: a handler registered for the whole machine would send
# every other Wine on it through the emulator.
#
#   tools/with-32bit.sh COMMAND [ARGUMENT...]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
qemu=/usr/bin/qemu-i386
# The kernel's matcher for i386 ELF executables (as Debian's qemu-user-binfmt registers it).
# Flags: O hands qemu an open descriptor of the program (it may not be readable by path),
# P keeps argv[0], F opens qemu now, so the namespace need not see /usr/bin later.
rule=':tolvarin-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
rule+=':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
rule+=":$qemu:OPF"

# In a new namespace: our own binfmt_misc with the handler in it, checked by trying; then
# COMMAND, unless it is "--check".
inside() {
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
    { echo "no binfmt_misc of its own in a user namespace (a kernel before 6.7?)"; exit 1; }
  printf '%b' "$rule" >/proc/sys/fs/binfmt_misc/register 2>/dev/null ||
    { echo "binfmt_misc refused the handler"; exit 1; }
  why=$(sh "$here/runs-32bit.sh") || { echo "still cannot run them: $why"; exit 1; }
  [ "$1" = "--check" ] && exit 0
  exec "$@"
}
if [ "${1:-}" = "--inside" ]; then
  shift
  inside "$@"
fi

[ $# -gt 0 ] || { echo "usage: tools/with-32bit.sh COMMAND [ARGUMENT...]" >&2; exit 64; }
if why=$(sh "$here/runs-32bit.sh"); then
  echo "== 32-bit programs run natively" >&2
  exec "$@"
fi
namespace=(unshare --user --map-root-user --mount --fork bash "${BASH_SOURCE[0]}" --inside)
if [ ! -x "$qemu" ]; then
  echo "== 32-bit programs cannot run ($why) and $qemu is missing: their tests are skipped" >&2
elif ! emulation=$("${namespace[@]}" --check 2>&1); then
  echo "== 32-bit programs cannot run ($why), nor under emulation (${emulation:-no user namespace}): their tests are skipped" >&2
else
  echo "== 32-bit programs run under emulation, $($qemu --version | head -n 1) in a private namespace: $why" >&2
  exec "${namespace[@]}" "$@"
fi
exec "$@"
