#!/usr/bin/env bash
# Benchmarks: TELVARO beside a baseline measured in the same run, printed as one Markdown table
# (also written to out/bench.md). Separate from the tests; it asserts nothing. On a shared machine
# only the ratios mean much: both sides of a row ran side by side, under the same load.
#
#   scripts/bench.sh [--keys N] [--idle-seconds S]   (defaults: 3 rounds of 1000 keys, 60 s)
#
# Builds what it needs (a Release native build without sanitizers for the parsing benchmark, the
# x64 Windows build, the x86 one for its size), runs the Windows programs under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

keys=1000
idle_seconds=60
while [ $# -gt 0 ]; do
  case $1 in
    --keys) keys=$2; shift 2 ;;
    --idle-seconds) idle_seconds=$2; shift 2 ;;
    *) echo "usage: scripts/bench.sh [--keys N] [--idle-seconds S]" >&2; exit 2 ;;
  esac
done

# Runs inside the virtual display: the Windows benchmarks, x64 and (where it can run) x86.
wine_part() {
  # shellcheck source=scripts/wine-env.sh
  source scripts/wine-env.sh
  # Into files, not pipes: Wine's background processes inherit the output and would hold a pipe.
  timeout 1200 wine build/mingw-x64/bin/telvaro_bench.exe --keys "$keys" \
    --idle-seconds "$idle_seconds" --samples "$PWD/out/bench-keys-x64.csv" keys poll idle display \
    >out/bench-x64.txt 2>&1 || true
  if [ "$TELVARO_WINE_X86" = 1 ]; then
    timeout 900 wine build/mingw-x86/bin/telvaro_bench.exe --keys "$keys" \
      --samples "$PWD/out/bench-keys-x86.csv" keys >out/bench-x86.txt 2>&1 || true
  elif [ "$TELVARO_X86_RUNNER" = qemu ]; then
    # Both programs of the row (TELVARO and its baseline) run emulated, under the same runner; the
    # times are qemu's, only their ratio says something.
    wineserver -k || true
    wineserver -w || true
    "$TELVARO_X86_RUN" sh -c '. scripts/wine-env.sh && timeout 1800 wine \
      build/mingw-x86/bin/telvaro_bench.exe --keys "$1" --samples "$PWD/out/bench-keys-x86.csv" \
      keys >out/bench-x86.txt 2>&1; wineserver -k' sh "$keys" || true
    : >out/bench-x86-emulated
  else
    echo "$TELVARO_X86_NOT_RUN" >out/bench-x86-not-run
  fi
  wineserver -k || true
}

if [ "${BENCH_WINE_PART:-}" = 1 ]; then
  wine_part
  exit
fi

scripts/install-deps.sh
# shellcheck source=/dev/null
[ -f /tmp/ccache-env.sh ] && source /tmp/ccache-env.sh
mkdir -p out
jobs=2

echo "== building" >&2
cmake -S . -B build/bench-native -DCMAKE_BUILD_TYPE=Release -DTELVARO_SANITIZE=OFF >/dev/null
cmake --build build/bench-native -j "$jobs" --target skype_parse_bench >/dev/null
cmake --preset mingw-x64 >/dev/null
cmake --build --preset mingw-x64 -j "$jobs" --target telvaro CM_HID bench_baseline telvaro_bench \
  >/dev/null
cmake --preset mingw-x86 >/dev/null
cmake --build --preset mingw-x86 -j "$jobs" --target telvaro CM_HID bench_baseline telvaro_bench \
  >/dev/null

echo "== Skype parsing (native)" >&2
traces=$PWD/tests/data/skype-traces
build/bench-native/bench/skype_parse_bench "$traces" --benchmark_min_time=1 --benchmark_color=false \
  >out/bench-parse.txt 2>&1 || true

echo "== Windows programs under Wine (about $((2 * idle_seconds + 300)) s)" >&2
rm -f out/bench-x64.txt out/bench-x86.txt out/bench-x86-not-run out/bench-x86-emulated
if [ -n "${DISPLAY:-}" ]; then
  BENCH_WINE_PART=1 "$0" --keys "$keys" --idle-seconds "$idle_seconds"
else
  BENCH_WINE_PART=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --keys "$keys" \
    --idle-seconds "$idle_seconds"
fi

# ---- the table ----------------------------------------------------------------------------------

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
kib() { awk -v n="$1" 'BEGIN { printf "%.0f KiB", n / 1024 }'; }

stripped_size() {  # strip tool, file: the size of a stripped copy in out/stripped/
  local copy
  copy="out/stripped/$(basename "$(dirname "$(dirname "$2")")")-$(basename "$2")"
  mkdir -p out/stripped
  "$1" -o "$copy" "$2"
  stat -c %s "$copy"
}

section_size() {  # objdump tool, file, section: the section's size in bytes (0 when it has none)
  local hex
  hex=$("$1" -h "$2" | awk -v name="$3" '$2 == name { print $3; exit }')
  echo $((16#${hex:-0}))
}

rows() {  # the driver's rows, or why there are none
  if [ -f "$1" ] && grep -q '^|' "$1"; then
    tr -d '\r' <"$1" | grep '^|'
  else
    echo "| $2 | not run: the benchmark driver printed nothing (see $1) | | |"
  fi
}

cpu=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
cores=$(nproc)
wine_version=$(/usr/lib/wine/wine64 --version 2>/dev/null || wine --version 2>/dev/null || echo unknown)
load=$(cut -d' ' -f1-3 /proc/loadavg)

{
  echo "Machine: $cpu, $cores cores, $wine_version, $(uname -sr); load average at the end $load;"
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'). Each row ran TELVARO and its baseline side by side;"
  echo "ratio = TELVARO / baseline. Every key's times: out/bench-keys-x64.csv."
  echo
  echo "| figure | TELVARO | baseline | ratio |"
  echo "|---|---|---|---|"
  rows out/bench-x64.txt "key latency x64"
  if [ -f out/bench-x86-emulated ]; then
    # Emulated times are not TELVARO's: the row keeps only the ratio.
    rows out/bench-x86.txt "key latency x86" | sed -E \
      's/^\| ([^|]*[^ ]) +\| [^|]* \| [^|]* \| ([^|]*)\|$/| \1, under emulation (qemu): ratio only | | | \2|/'
  elif [ ! -f out/bench-x86-not-run ]; then
    rows out/bench-x86.txt "key latency x86"
  else
    echo "| key latency x86 | not run: $(cat out/bench-x86-not-run) | | |"
  fi

  parse=$(grep '^result SkypeReceivePath ' out/bench-parse.txt | awk '{print $3}' || true)
  copy=$(grep '^result MemcpyOfTheSameBytes ' out/bench-parse.txt | awk '{print $3}' || true)
  if [ -n "$parse" ] && [ -n "$copy" ]; then
    lines=$(cat "$traces"/*.csv 2>/dev/null | grep -c '^received,' || true)
    printf '| Skype parsing (%s received lines, repeated; notifications/s; baseline memcpy) | %s /s | %s /s | %s |\n' \
      "$lines" "$(awk -v n="$parse" 'BEGIN { printf "%.2f M", n / 1e6 }')" \
      "$(awk -v n="$copy" 'BEGIN { printf "%.1f M", n / 1e6 }')" "$(ratio "$parse" "$copy")"
  else
    echo "| Skype parsing | not run: see out/bench-parse.txt | | |"
  fi

  base64=$(stripped_size x86_64-w64-mingw32-strip build/mingw-x64/bin/bench_baseline.exe)
  base86=$(stripped_size i686-w64-mingw32-strip build/mingw-x86/bin/bench_baseline.exe)
  exe64=$(stripped_size x86_64-w64-mingw32-strip build/mingw-x64/bin/telvaro.exe)
  exe86=$(stripped_size i686-w64-mingw32-strip build/mingw-x86/bin/telvaro.exe)
  dll64=$(stripped_size x86_64-w64-mingw32-strip build/mingw-x64/bin/CM_HID.dll)
  dll86=$(stripped_size i686-w64-mingw32-strip build/mingw-x86/bin/CM_HID.dll)
  # The release builds (the presets' build type), as shipped; the resources (the icon above all)
  # are named apart from the code.
  rsrc64=$(section_size x86_64-w64-mingw32-objdump build/mingw-x64/bin/telvaro.exe .rsrc)
  rsrc86=$(section_size i686-w64-mingw32-objdump build/mingw-x86/bin/telvaro.exe .rsrc)
  echo "| exe size x64, telvaro.exe stripped, Release (baseline: the minimal window program) | $(kib "$exe64"), of which resources $(kib "$rsrc64") | $(kib "$base64") | $(ratio "$exe64" "$base64") |"
  echo "| exe size x86, telvaro.exe stripped, Release | $(kib "$exe86"), of which resources $(kib "$rsrc86") | $(kib "$base86") | $(ratio "$exe86" "$base86") |"
  echo "| CM_HID.dll x64 / x86, stripped (the virtual handset) | $(kib "$dll64") / $(kib "$dll86") | | |"
} >out/bench.md

cat out/bench.md
