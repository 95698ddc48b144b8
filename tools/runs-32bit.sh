#!/bin/sh
# Exits 0 when this machine's kernel runs 32-bit x86 programs, 1 (with the reason on stdout)
# when it does not. Decided by running one: some kernels are built without 32-bit support,
# and no package name or flag says so reliably.
set -u
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n  movl $1, %%eax\n  xorl %%ebx, %%ebx\n  int $0x80\n' >"$work/exit.s"
if ! as --32 -o "$work/exit.o" "$work/exit.s" 2>"$work/err" || ! ld -m elf_i386 -o "$work/exit" "$work/exit.o" 2>>"$work/err"; then
  echo "cannot build a 32-bit test program: $(head -n 1 "$work/err")"
  exit 1
fi
if ! "$work/exit" 2>"$work/err"; then
  echo "this kernel cannot run 32-bit programs: $(head -n 1 "$work/err" | sed 's/.*: //')"
  exit 1
fi
exit 0
