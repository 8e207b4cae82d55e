#!/usr/bin/env bash
# Runs every test: formatting, the unit tests (ASan + UBSan) on the simulated desktop, the fuzz
# corpus through the libFuzzer target, the Windows builds (x64 and x86), and the end-to-end tests
# of the real x64 and x86 programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=2
summary=()

run_ctest() {  # name, command line (ctest and its arguments, maybe behind a wrapper)...
  local name=$1 log
  shift
  log=$(mktemp)
  if "$@" 2>&1 | tee "$log"; then :; else status=1; fi
  summary+=("$name: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 >>build/.counts || true
  rm -f "$log"
}

status=0
mkdir -p build
: >build/.counts

echo "== formatting"
if ! scripts/check-format.sh; then status=1; fi
if ! scripts/clang-tidy.sh; then status=1; fi

echo "== unit tests (native, sanitizers)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
run_ctest unit ctest --preset native

echo "== fuzz corpus (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DTELVARO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j "$jobs" --target skype_fuzzer
run_ctest fuzz ctest --test-dir build/fuzz -R fuzz --output-on-failure

echo "== Windows builds (x64 and x86)"
cmake --preset mingw-x64 >/dev/null
cmake --build --preset mingw-x64 -j "$jobs"
cmake --preset mingw-x86 >/dev/null
cmake --build --preset mingw-x86 -j "$jobs"

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
display=()
[ -n "${DISPLAY:-}" ] || display=(xvfb-run -a)

echo "== end-to-end tests under Wine: x64"
start=$(date +%s)
run_ctest e2e-x64 "${display[@]}" ctest --preset mingw-x64
wineserver -k || true
echo "x64 end-to-end suite took $(( $(date +%s) - start )) s"

echo "== end-to-end tests under Wine: x86 (WoW64)"
if [ "$TELVARO_WINE_X86" = 1 ]; then
  start=$(date +%s)
  run_ctest e2e-x86 "${display[@]}" ctest --preset mingw-x86
  wineserver -k || true
  echo "x86 end-to-end suite took $(( $(date +%s) - start )) s"
else
  # Said loudly, never counted as passed: the x86 programs are built above but cannot be run.
  echo "NOT RUN: this kernel does not run 32-bit code ($(dmesg 2>/dev/null | grep -m1 -o \
    '32-bit emulation disabled.*' || echo 'the 32-bit Wine loader fails to start'))"
  summary+=("e2e-x86: not run, this machine cannot run 32-bit code")
fi

run_ctest package scripts/test-package.sh
echo "== summary"
printf '%s\n' "${summary[@]}"
failed=0 total=0
while read -r f _ _ _ _ t; do failed=$((failed + f)); total=$((total + t)); done <build/.counts
echo "$((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
