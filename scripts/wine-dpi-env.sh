# Source this with TELVARO_WINE_DPI set (120, 144, 192 ...): the environment of wine-env.sh, in a
# Wine prefix of its own whose screen has that DPI (HKCU\Control Panel\Desktop, LogPixels), so a
# high-DPI run never changes the prefix the other tests use. Its wineserver is separate: end it
# with `wineserver -k` while this environment is set.
: "${TELVARO_WINE_DPI:?set TELVARO_WINE_DPI to the DPI wanted}"
export TELVARO_WINEPREFIX="${TELVARO_WINEPREFIX:-$HOME/.wine-telvaro}-dpi$TELVARO_WINE_DPI"
# shellcheck source=scripts/wine-env.sh
. "${TELVARO_SCRIPTS_DIR:-scripts}/wine-env.sh"
telvaro_dpi_mark="$WINEPREFIX/.telvaro-dpi"
if [ "$(cat "$telvaro_dpi_mark" 2>/dev/null)" != "$TELVARO_WINE_DPI" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$TELVARO_WINE_DPI" /f \
    >/dev/null 2>&1
  # Every Wine process reads the DPI when it starts: end the ones started before the change.
  wineserver -k
  wineserver -w
  echo "$TELVARO_WINE_DPI" >"$telvaro_dpi_mark"
fi
unset telvaro_dpi_mark
export TELVARO_E2E_DPI="$TELVARO_WINE_DPI"
