# Source this before running the Windows programs under Wine: quiet Wine, no Mono/Gecko installer
# prompts, and a prefix of our own that is created once and then reused.
# Sets TELVARO_WINE_X86=1 when this machine runs 32-bit Windows programs (WoW64), 0 when not.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${TELVARO_WINEPREFIX:-$HOME/.wine-telvaro}"

# The 32-bit loader runs only where the kernel runs 32-bit code (some kernels have it switched
# off: "32-bit emulation disabled"). Without it, 64-bit programs still run through wine64.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export TELVARO_WINE_X86=1
else
  export TELVARO_WINE_X86=0
  if [ -x /usr/lib/wine/wine64 ]; then
    # Debian's `wine` launcher always tries the 32-bit loader first, so it would fail even for
    # 64-bit programs: put a launcher for wine64 ahead of it.
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
fi

# A prefix made before the 32-bit Wine was installed has no syswow64 and can never run 32-bit
# programs: make it anew.
if [ -f "$WINEPREFIX/system.reg" ] && [ -d /usr/lib/i386-linux-gnu/wine ] &&
   [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
