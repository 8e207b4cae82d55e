# Source this before running the Windows programs under Wine: quiet Wine, no Mono/Gecko installer
# prompts, and a prefix of our own that is created once and then reused.
# Sets TELVARO_WINE_X86=1 where 32-bit Windows programs run here and now (WoW64), 0 where not.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${TELVARO_WINEPREFIX:-$HOME/.wine-telvaro}"

# 32-bit programs run where the kernel runs 32-bit code (some kernels have it switched off:
# "32-bit emulation disabled"), or inside the x86 runner's qemu namespace (scripts/x86-run.sh).
# TELVARO_X86_RUNNER says which: native, qemu, or none (TELVARO_X86_NOT_RUN says why); where it is
# qemu but TELVARO_WINE_X86=0, run the command through "$TELVARO_X86_RUN" to run 32-bit programs.
# This file's folder: bash names it; sh (ctest's commands: sh -c '. wine-env.sh' ...) has it in $0.
case ${BASH_SOURCE:-$0} in
  *wine-env.sh | *wine-dpi-env.sh) telvaro_scripts=$(dirname "${BASH_SOURCE:-$0}") ;;
  *) telvaro_scripts=${TELVARO_SCRIPTS_DIR:-scripts} ;;
esac
telvaro_scripts=$(cd "$telvaro_scripts" 2>/dev/null && pwd) || telvaro_scripts=/nonexistent
export TELVARO_X86_RUN="$telvaro_scripts/x86-run.sh"
unset TELVARO_X86_NOT_RUN
if [ -e /proc/sys/fs/binfmt_misc/telvaro-i386 ]; then
  export TELVARO_WINE_X86=1 TELVARO_X86_RUNNER=qemu
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export TELVARO_WINE_X86=1 TELVARO_X86_RUNNER=native
else
  export TELVARO_WINE_X86=0
  if [ ! -f "$TELVARO_X86_RUN" ]; then
    export TELVARO_X86_RUNNER=none TELVARO_X86_NOT_RUN="the x86 runner scripts/x86-run.sh is not found"
  elif telvaro_mode=$(sh "$TELVARO_X86_RUN" --check); then
    export TELVARO_X86_RUNNER="$telvaro_mode"
  else
    export TELVARO_X86_RUNNER=none TELVARO_X86_NOT_RUN="${telvaro_mode#none: }"
  fi
  unset telvaro_mode
fi
unset telvaro_scripts

# Debian's `wine` launcher always starts the 32-bit loader first, which fails for 64-bit programs
# where 32-bit code cannot run and, under emulation, costs an emulated start before every 64-bit
# one: put a launcher for wine64 ahead of it. wine64 hands a 32-bit program to the 32-bit loader.
if [ "$TELVARO_X86_RUNNER" != native ] && [ -x /usr/lib/wine/wine64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  telvaro_shim="$WINEPREFIX-bin"
  if [ ! -x "$telvaro_shim/wine" ]; then
    mkdir -p "$telvaro_shim"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$telvaro_shim/wine"
    chmod +x "$telvaro_shim/wine"
  fi
  case ":$PATH:" in *":$telvaro_shim:"*) ;; *) export PATH="$telvaro_shim:$PATH" ;; esac
  unset telvaro_shim
fi

# A prefix made where 32-bit programs could not run (before the 32-bit Wine was installed, or
# outside the x86 runner's namespace) lacks its 32-bit half (syswow64) and can never run them: where
# they run, make it anew.
if [ -f "$WINEPREFIX/system.reg" ] && [ "$TELVARO_WINE_X86" = 1 ] &&
   [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
