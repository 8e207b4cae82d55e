#!/usr/bin/env bash
# clang-tidy with the project's .clang-tidy over the portable code (src/ outside the win32/
# folders, the files the native build compiles), on the native build's compile database. Any
# finding fails the run. Two files at a time; set TIDY_JOBS to change that. Given file names, it
# checks only those.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== clang-tidy (portable code)"
start=$(date +%s)
# Configuring refreshes build/native/compile_commands.json, so files added since are in it.
cmake --preset native >/dev/null
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(find src -name '*.cpp' -not -path '*/win32/*' | sort)
fi
# The native build passes GCC-only warning flags that clang does not know. The inner script is
# meant to be quoted: sh expands its "$1".
# shellcheck disable=SC2016
if printf '%s\0' "${files[@]}" | xargs -0 -P "${TIDY_JOBS:-2}" -I{} sh -c '
  out=$(clang-tidy -p build/native --quiet --warnings-as-errors="*" \
        --extra-arg=-Wno-unknown-warning-option "$1" 2>&1) && exit 0
  printf "%s\n" "$out"
  exit 1' sh {}; then
  echo "clang-tidy: ${#files[@]} files clean in $(($(date +%s) - start)) s"
else
  echo "clang-tidy: findings above ($(($(date +%s) - start)) s)"
  exit 1
fi
