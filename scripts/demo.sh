#!/usr/bin/env bash
# The main job, shown: telvaro.exe under Wine with the virtual handset, a fake X-Lite, a fake
# Skype and a fake MicroSIP. Prints the story of the session and saves a screenshot to out/demo.png, and pictures of
# TELVARO's window at 96 and at 192 DPI to out/window-96dpi.png and out/window-192dpi.png, and of
# the dial display to out/dial-display-96dpi.png and out/dial-display-192dpi.png. With
# DISPLAY set, the windows appear on that screen; without it, on a virtual one (Xvfb).
#   scripts/demo.sh          the x64 build
#   scripts/demo.sh --x86    the x86 build (the one for the vendor's 32-bit handset library); where
#                            the kernel runs no 32-bit code, under the x86 runner's emulation
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--x86" ]; then
  export TELVARO_DEMO_PRESET=mingw-x86
  shift
fi
preset=${TELVARO_DEMO_PRESET:-mingw-x64}

story() {
  mkdir -p out
  # shellcheck source=scripts/wine-env.sh
  source scripts/wine-env.sh
  TELVARO_HANDSET_LOG="$(wine winepath -w "$PWD/out/handset.log")"
  export TELVARO_HANDSET_LOG
  rm -f out/handset.log out/demo.png
  # Start from no stored settings, as on a first start.
  wine reg delete 'HKLM\SOFTWARE\Dialbridge' /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v Dialbridge /f \
    >/dev/null 2>&1 || true
  local status=0
  # Into a file, not a pipe: Wine's own background processes inherit the output and would keep a
  # pipe open after the demo ends.
  timeout 300 wine "build/$preset/bin/demo.exe" "$(wine winepath -w "$PWD/out")" >out/story.txt 2>&1 ||
    status=1
  tr -d '\r' <out/story.txt
  sleep 1
  import -window root out/demo.png 2>/dev/null && echo "Screenshot: out/demo.png"
  window_picture out/window-96dpi.png
  dial_display_picture 96
  [ -f out/handset.log ] &&
    echo "Handset library calls: $(tr -d '\r' <out/handset.log | paste -sd, - | sed 's/,/, /g')"
  wineserver -k || true
  high_dpi 192 || status=1
  return $status
}

# The window alone, cut from the screen as shown (a grab of the window itself can miss what its
# child windows drew).
window_picture() {
  local geometry
  geometry=$(xwininfo -name "TELVARO 1.3.0" 2>/dev/null | awk '
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {if (w) printf "%dx%d+%d+%d", w, h, x, y}')
  [ -n "$geometry" ] || return 0
  import -window root -crop "$geometry" +repage "$1" 2>/dev/null &&
    echo "Screenshot of the window: $1"
}

# TELVARO's window once more, in a Wine prefix of its own whose screen has the given DPI.
high_dpi() (
  export TELVARO_WINE_DPI="$1"
  # shellcheck source=scripts/wine-dpi-env.sh
  source scripts/wine-dpi-env.sh
  rm -f "out/window-${1}dpi.png"
  echo
  echo "* At $1 DPI (a Wine prefix of its own)"
  local status=0
  timeout 120 wine build/mingw-x64/bin/demo.exe --show-window >out/window-dpi.txt 2>&1 || status=1
  tr -d '\r' <out/window-dpi.txt
  sleep 3  # until every control has drawn itself
  window_picture "out/window-${1}dpi.png"
  dial_display_picture "$1"
  wineserver -k || true
  return $status
)

# The dial display alone, cut from the screen while it shows after a few keys (it fades out a
# few seconds after the last one).
dial_display_picture() {
  local file="out/dial-display-${1}dpi.png" geometry_file=out/dial-display.geometry geometry=
  rm -f "$file" "$geometry_file"
  timeout 120 wine build/mingw-x64/bin/demo.exe --show-dial-display \
    "$(wine winepath -w "$PWD/$geometry_file")" >out/dial-display.txt 2>&1 &
  local demo=$!
  for _ in $(seq 1 600); do
    [ -s "$geometry_file" ] && break
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$geometry_file" ] && geometry=$(tr -d '\r\n' <"$geometry_file")
  if [ -n "$geometry" ]; then import -window root -crop "$geometry" +repage "$file" 2>/dev/null || true; fi
  wait "$demo" || true
  tr -d '\r' <out/dial-display.txt | grep 'dial display' || true
  if [ -f "$file" ]; then echo "Screenshot of the dial display: $file"; fi
}

if [ "${1:-}" = "--story" ]; then
  story
  exit
fi

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2 --target telvaro CM_HID fakeapp fakeskype handsetctl demo \
  >/dev/null
if [ "$preset" = mingw-x86 ]; then
  # shellcheck source=scripts/wine-env.sh
  source scripts/wine-env.sh
  if [ "$TELVARO_WINE_X86" != 1 ] && [ "$TELVARO_X86_RUNNER" = qemu ]; then
    # This kernel runs no 32-bit code: the demo runs again, in the x86 runner's emulation.
    echo "x86 runner: qemu-user emulation (scripts/x86-run.sh); every 32-bit start takes a while"
    exec "$TELVARO_X86_RUN" "$0" --x86
  fi
  if [ "$TELVARO_WINE_X86" != 1 ]; then
    echo "NOT RUN: the x86 demo is built (build/mingw-x86/bin), but 32-bit programs cannot run" \
      "here ($TELVARO_X86_NOT_RUN). Run scripts/demo.sh for the x64 demo." >&2
    exit 2
  fi
fi
if [ -n "${DISPLAY:-}" ]; then
  story
else
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --story
fi
