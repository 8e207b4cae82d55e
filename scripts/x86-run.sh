#!/bin/sh
# The x86 runner: runs a command where Wine runs 32-bit Windows programs.
#   scripts/x86-run.sh COMMAND [ARGS...]   runs COMMAND there; exit code 77 and "NOT RUN: why"
#                                          on stderr where 32-bit programs cannot run at all
#   scripts/x86-run.sh --check             prints native, qemu, or "none: why" (exit code 1)
#   TELVARO_X86_OFF=1                      turns it off: none
#
# native: the kernel runs 32-bit code, so Wine's WoW64 runs the x86 programs as it is; COMMAND runs
#   unchanged.
# qemu: the kernel runs no 32-bit code ("32-bit emulation disabled"), but qemu-user emulates a
#   32-bit Linux process. COMMAND runs in a private user and mount namespace whose own binfmt_misc
#   hands every i386 ELF file (the 32-bit Wine loader among them) to qemu-i386-static; nothing
#   outside that namespace changes and no root is needed. The 64-bit side (wine64, wineserver, the
#   x64 programs) runs natively beside the emulated 32-bit processes. Keep a whole Wine session
#   (wineserver included) in one namespace: its wineserver sees only the processes started in it.
#
# POSIX sh: wine-env.sh, which ctest's commands source with sh, asks it for the mode.
qemu=/usr/bin/qemu-i386-static
binfmt=/proc/sys/fs/binfmt_misc
# i386 ELF executables and shared objects (e_ident and e_machine = 3); F: the kernel opens the
# interpreter now, so it is found whatever the programs' root or mounts are later.
rule=":telvaro-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F"

# Inside the namespace, after the registration: the rest of the command line is the command.
if [ "${1:-}" = --inside ]; then
  shift
  mount -t binfmt_misc binfmt_misc "$binfmt" || exit 1
  printf '%s' "$rule" >"$binfmt/register" || exit 1
  export TELVARO_X86_RUNNER=qemu
  # What makes a 32-bit start cost a minute or two: qemu 7.2 does not know MAP_FIXED_NOREPLACE, so
  # the 32-bit Wine, reserving the address space above 2 GiB as it starts, is answered elsewhere
  # each time and halves its request down to 64 KiB blocks: some 40,000 mmap calls, and each
  # answer is searched for, page by page, down through what was reserved already. A guest space
  # just above 2 GiB (room for the shared user data at 0x7ffe0000 and qemu's own pages at the top)
  # leaves little to search through: a start takes seconds, not minutes. (Larger host pages for
  # that search, QEMU_PAGESIZE, cut it too, but then a thread's sleep never ends.) Set by the
  # caller, it stays as given.
  export QEMU_RESERVED_VA="${QEMU_RESERVED_VA:-0x81000000}"
  exec "$@"
fi

# The mode, or "none: why" with exit code 1.
mode() {
  if [ -n "${TELVARO_X86_OFF:-}" ]; then
    echo "none: turned off (TELVARO_X86_OFF is set)"
    return 1
  elif [ -e "$binfmt/telvaro-i386" ]; then
    echo qemu  # already inside the namespace
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo native
  elif [ ! -x /usr/lib/wine/wine ]; then
    echo "none: the 32-bit Wine (wine32:i386) is not installed"
    return 1
  elif [ ! -x "$qemu" ]; then
    echo "none: this kernel runs no 32-bit code ($(why)) and $qemu (qemu-user-static) is absent"
    return 1
  elif ! out=$(unshare -Urm sh -c "mount -t binfmt_misc binfmt_misc $binfmt" 2>&1); then
    echo "none: this kernel runs no 32-bit code ($(why)) and cannot make a private binfmt_misc" \
      "for qemu: ${out:-unshare -Urm failed}"
    return 1
  else
    echo qemu
  fi
}

why() {
  dmesg 2>/dev/null | grep -m1 -o '32-bit emulation disabled' ||
    echo 'the 32-bit Wine loader fails to start'
}

if [ "${1:-}" = --check ]; then
  mode
  exit
fi
[ $# -gt 0 ] || { echo "usage: scripts/x86-run.sh COMMAND [ARGS...] | --check" >&2; exit 2; }

if ! m=$(mode); then
  echo "NOT RUN: $m" | sed 's/NOT RUN: none: /NOT RUN: /' >&2
  exit 77
fi
case $m in
  native) exec "$@" ;;
  qemu)
    if [ -e "$binfmt/telvaro-i386" ]; then exec "$@"; fi
    exec unshare -Urm sh "$0" --inside "$@"
    ;;
esac
