# Source this before running the Windows programs under Wine: quiet Wine, no Mono/Gecko installer
# prompts, and a prefix of our own that is created once and then reused.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${TELVARO_WINEPREFIX:-$HOME/.wine-telvaro}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
