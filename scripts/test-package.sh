#!/usr/bin/env bash
# The package stage of the test command: makes the release with scripts/package.sh and checks it
# for real. The zips and their files (release builds: stripped, versioned, no link time), the same
# bytes from a second package run, then the setup program in a fresh Wine prefix: a silent install
# (files, shortcut, Apps & features entry), the installed program started, the setup program run
# again over the running copy (which it ends and updates), a silent uninstall while it runs (files,
# folder, shortcut, entry and our start-with-Windows values gone, another copy's value and the
# settings kept), and an install with /D= into a folder with blanks, removed by the entry's
# QuietUninstallString.
#
# Then the updates a user makes: over a running copy of an older version (another caption), and
# with the handset maker's CM_HID.dll (or one without a version resource) in place of ours, which
# the update and the uninstall keep, while our own is put in where none is and is updated.
#
# The shipped setup program is a 32-bit program, run where the kernel runs 32-bit code or else
# under the x86 runner's emulation (scripts/x86-run.sh). Where neither can (TELVARO_WINE_X86=0 from
# wine-env.sh) the same setup script built from the x64 build is the one installed, and this says
# so. Ends with a ctest-style count line for the test command's summary.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$PWD
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
# The shipped setup program is a 32-bit program: where this kernel runs no 32-bit code, the whole
# test runs in the x86 runner's namespace (scripts/x86-run.sh), whose qemu runs it.
if [ "$(scripts/x86-run.sh --check)" = qemu ] && [ -z "${TELVARO_PACKAGE_IN_RUNNER:-}" ]; then
  TELVARO_PACKAGE_IN_RUNNER=1 exec scripts/x86-run.sh "$0" "$@"
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "  ok    $1"; }
fail() { failed=$((failed + 1)); echo "  FAIL  $1${2:+: $2}"; }
check() {  # name, command...: passes when the command succeeds
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
same() {  # name, expected, actual
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "expected [$2], got [$3]"; fi
}
finish() {
  local total=$((passed + failed)) percent=100 note=${1:-}
  [ "$total" -eq 0 ] || percent=$((passed * 100 / total))
  echo "$percent% tests passed, $failed tests failed out of $total${note:+ ($note)}"
  [ "$failed" -eq 0 ]
  exit
}

version=$(sed -nE 's/^project\(telvaro VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' CMakeLists.txt)
win32="telvaro-$version-win32"
win64="telvaro-$version-win64"
setup="telvaro-$version-setup.exe"
shipped=(telvaro.exe CM_HID.dll handsetctl.exe)
files=("${shipped[@]}" README.txt LICENSE.txt)
work=$(mktemp -d /tmp/telvaro-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== package: first run"
if ! scripts/package.sh --with-x64-setup; then
  fail "scripts/package.sh"
  finish
fi
pass "scripts/package.sh makes the release"

echo "== package: what is in dist/"
for f in "$setup" "$win32.zip" "$win64.zip"; do check "dist/$f exists" test -s "dist/$f"; done
check "SHA256SUMS verifies" sh -c 'cd dist && sha256sum --quiet -c SHA256SUMS'
same "SHA256SUMS names the three files" "$setup $win32.zip $win64.zip" \
  "$(awk '{printf "%s%s", sep, $2; sep=" "}' dist/SHA256SUMS)"
license_ok() {  # file
  tr -d '\r' <"$1" | grep -qx 'MIT License' &&
    tr -d '\r' <"$1" | grep -qx 'Copyright (c) 2026 The TELVARO authors'
}
check "LICENSE at the root is MIT, Copyright (c) 2026 The TELVARO authors" license_ok LICENSE

readme_ok() {  # file
  grep -q "handsetctl plug" "$1" && grep -q "press 6" "$1" && grep -q "CM_HID.dll" "$1" &&
    grep -q "TELVARO $version" "$1" && grep -q 'SOFTWARE\\Dialbridge' "$1" &&
    [ "$(grep -c $'\r$' "$1")" = "$(wc -l <"$1")" ]
}
# A shipped program: of the right machine, stripped, no link time stamp, version resource.
release_file_ok() {  # file, objdump format, toolchain prefix
  local file=$1 format=$2 tool=$3 head sections
  head=$("$tool-objdump" -p "$file") || return 1
  sections=$("$tool-objdump" -h -t "$file") || return 1
  grep -q "file format $format" <<<"$head" &&
    grep -q 'no symbols' <<<"$sections" && ! grep -q '\.debug' <<<"$sections" &&
    grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$head" &&
    "$tool-windres" -i "$file" -O rc 2>/dev/null | grep -Eq "^ FILEVERSION ${version//./, }, 0\$"
}
for zip in "$win32" "$win64"; do
  expected="$zip/"
  for f in "${files[@]}"; do expected+=" $zip/$f"; done
  same "$zip.zip holds $zip/ and its files, in order" "$expected" \
    "$(unzip -Z1 "dist/$zip.zip" | paste -sd ' ')"
  unzip -q -o "dist/$zip.zip" -d "$work/unzip"
  if [ "$zip" = "$win32" ]; then format=pei-i386 tool=i686-w64-mingw32
  else format=pei-x86-64 tool=x86_64-w64-mingw32; fi
  for f in "${shipped[@]}"; do
    check "$zip/$f: $format, stripped, no time stamp, version $version" \
      release_file_ok "$work/unzip/$zip/$f" "$format" "$tool"
  done
  check "$zip/LICENSE.txt is the licence" license_ok "$work/unzip/$zip/LICENSE.txt"
  check "$zip/README.txt tells a Windows user how to try it, in CRLF lines" \
    readme_ok "$work/unzip/$zip/README.txt"
done
check "$setup: a 32-bit program with version resource $version" sh -c \
  'i686-w64-mingw32-objdump -p "$1" | grep -q "file format pei-i386" &&
   i686-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | grep -q "^ FILEVERSION $2"' \
  sh "dist/$setup" "${version//./, }, 0"

echo "== package: second run, every program linked anew, must give the same bytes"
cp dist/SHA256SUMS "$work/SHA256SUMS.first"
for arch in x86 x64; do
  for f in "${shipped[@]}"; do rm -f "${TELVARO_PACKAGE_BUILD_DIR:-build/mingw}-$arch/bin/$f"; done
done
sleep 1
if scripts/package.sh >"$work/second-run.log" 2>&1; then
  for f in "$win32.zip" "$win64.zip" "$setup"; do
    same "second run: $f the same bytes" "$(grep " $f\$" "$work/SHA256SUMS.first")" \
      "$(grep " $f\$" dist/SHA256SUMS)"
  done
else
  cat "$work/second-run.log"
  fail "scripts/package.sh, second run"
fi

echo "== setup program in a fresh Wine prefix"
export TELVARO_WINEPREFIX="$work/prefix"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
note=""
if [ "$TELVARO_WINE_X86" = 1 ]; then
  installer="$root/dist/$setup"
  stage="$root/build/package/$win32"
  echo "installing the shipped x86 setup program (x86 runner: $TELVARO_X86_RUNNER)"
  [ "$TELVARO_X86_RUNNER" != qemu ] || note="the shipped x86 setup program under emulation (qemu)"
else
  installer="$root/build/package/telvaro-$version-setup-x64.exe"
  stage="$root/build/package/$win64"
  note="setup tested as its x64 build; the shipped x86 one NOT RUN: ${TELVARO_X86_NOT_RUN:-no 32-bit code here}"
  echo "NOT RUN: the shipped x86 setup program (${TELVARO_X86_NOT_RUN:-this machine runs no 32-bit code});" \
    "testing the same setup script built from the x64 build instead"
fi
makensis -V2 -DCLASS=TMainForm "-DCAPTION=TELVARO $version" "-DOUTFILE=$work/winprobe.exe" \
  tests/fixtures/winprobe.nsi
probe() { wine "$work/winprobe.exe" "$@" >/dev/null 2>&1; }  # present|absent SECONDS
makensis -V2 -DCLASS=TMainForm "-DCAPTION=TELVARO 1.2.0" "-DOUTFILE=$work/winprobe-old.exe" \
  tests/fixtures/winprobe.nsi
probe_old() { wine "$work/winprobe-old.exe" "$@" >/dev/null 2>&1; }
# An older version's running copy, and the handset maker's CM_HID.dll with and without a version
# resource (tests/fixtures/package).
fixtures=tests/fixtures/package
x86_64-w64-mingw32-gcc -O2 -municode -mwindows -o "$work/oldcopy.exe" "$fixtures/oldcopy.c"
i686-w64-mingw32-windres "$fixtures/maker.rc" -o "$work/maker.res.o"
i686-w64-mingw32-gcc -shared -s -o "$work/maker-CM_HID.dll" "$fixtures/maker.c" "$work/maker.res.o"
i686-w64-mingw32-gcc -shared -s -o "$work/bare-CM_HID.dll" "$fixtures/maker.c"
unix_path() {  # C:\a\b -> the prefix's file
  local p=${1#[Cc]:\\}
  printf '%s/drive_c/%s' "$WINEPREFIX" "${p//\\//}"
}
# A command line exactly as Windows gets it (blanks, quotes, /D= unquoted), from a batch file.
run_line() {  # command line
  printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$1" >"$WINEPREFIX/drive_c/line.bat"
  wine cmd /c 'C:\line.bat' >/dev/null 2>&1
}
reg_value() {  # key, value, [/reg:32|/reg:64] -> "TYPE DATA", or nothing
  wine reg query "$1" /v "$2" ${3:+"$3"} 2>/dev/null | tr -d '\r' |
    sed -nE "s/^ +$2 +(REG_[A-Z_]+) +(.*)\$/\1 \2/p; s/^ +$2 +(REG_[A-Z_]+)\$/\1 /p"
}
ended_with_0() {  # pid: the program ended, with exit code 0, within 10 s
  local pid=$1 _
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  ! kill -0 "$pid" 2>/dev/null && wait "$pid"
}
gone_within() {  # path, seconds: the uninstaller's copy in TEMP finishes after it returns
  local _
  for _ in $(seq $(($2 * 5))); do [ -e "$1" ] || return 0; sleep 0.2; done
  [ ! -e "$1" ]
}
entry_gone() { ! wine reg query "$uninst_key" >/dev/null 2>&1; }
files_match_stage() {  # installed folder
  local f
  for f in "${files[@]}"; do cmp -s "$stage/$f" "$1/$f" || return 1; done
}

uninst_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TELVARO'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
localappdata=$(wine cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
appdata=$(wine cmd /c 'echo %APPDATA%' | tr -d '\r')
inst_win="$localappdata\\Programs\\TELVARO"
inst=$(unix_path "$inst_win")
shortcut=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\TELVARO.lnk")
exe_win="$inst_win\\telvaro.exe"

echo "-- silent install into the default folder"
check "setup /S ends with exit code 0" wine "$installer" /S
check "installed into %LOCALAPPDATA%\\Programs\\TELVARO, the files as packaged" \
  files_match_stage "$inst"
check "uninstall.exe installed beside them" test -s "$inst/uninstall.exe"
check "Start-menu shortcut TELVARO starts the installed telvaro.exe" sh -c \
  'tr -d "\000" <"$1" | grep -aqiF "$2"' sh "$shortcut" 'Programs\TELVARO\telvaro.exe'
same "entry: DisplayName" "REG_SZ TELVARO" "$(reg_value "$uninst_key" DisplayName)"
same "entry: DisplayVersion" "REG_SZ $version" "$(reg_value "$uninst_key" DisplayVersion)"
same "entry: Publisher" "REG_SZ The TELVARO authors" "$(reg_value "$uninst_key" Publisher)"
same "entry: DisplayIcon" "REG_SZ $exe_win,0" "$(reg_value "$uninst_key" DisplayIcon)"
same "entry: InstallLocation" "REG_SZ $inst_win" "$(reg_value "$uninst_key" InstallLocation)"
same "entry: UninstallString" "REG_SZ \"$inst_win\\uninstall.exe\"" \
  "$(reg_value "$uninst_key" UninstallString)"
same "entry: QuietUninstallString" "REG_SZ \"$inst_win\\uninstall.exe\" /S" \
  "$(reg_value "$uninst_key" QuietUninstallString)"
same "entry: NoModify" "REG_DWORD 0x1" "$(reg_value "$uninst_key" NoModify)"
same "entry: NoRepair" "REG_DWORD 0x1" "$(reg_value "$uninst_key" NoRepair)"
size_kb=$(( $(cat "$inst"/* | wc -c) / 1024 ))
same "entry: EstimatedSize in KiB" "REG_DWORD $(printf '0x%x' "$size_kb")" \
  "$(reg_value "$uninst_key" EstimatedSize)"

echo "-- the installed program runs; setup again over the running copy"
wine "$inst/telvaro.exe" >/dev/null 2>&1 &
running=$!
check "installed telvaro.exe shows its window (TMainForm, \"TELVARO $version\")" probe present 20
# Set the installed files apart from the package's, so the update can be seen; appending leaves
# the running program's image alone.
echo stale >>"$inst/telvaro.exe"
echo stale >>"$inst/README.txt"
check "setup /S over the running copy ends with exit code 0" wine "$installer" /S
check "the running copy's window is gone" probe absent 0
check "the running copy ended with exit code 0 (WM_CLOSE, not killed)" ended_with_0 "$running"
check "the installed files are the package's again" files_match_stage "$inst"

echo "-- setup over a running copy of an older version (caption \"TELVARO 1.2.0\")"
cp "$work/oldcopy.exe" "$inst/telvaro.exe"
wine "$inst/telvaro.exe" "TELVARO 1.2.0" >/dev/null 2>&1 &
running=$!
check "the older copy shows its window (TMainForm, \"TELVARO 1.2.0\")" probe_old present 20
check "setup /S over the older running copy ends with exit code 0" wine "$installer" /S
check "the older copy's window is gone" probe_old absent 0
check "the older copy ended with exit code 0 (WM_CLOSE, not killed)" ended_with_0 "$running"
check "the installed files are the package's again" files_match_stage "$inst"

# The maker's library a user copied over ours stays through an update and an uninstall; ours
# (same name, our version resource) is updated and removed. Rows: the DLL put in, what it is.
for row in "maker-CM_HID.dll:the maker's CM_HID.dll (another version resource)" \
           "bare-CM_HID.dll:a CM_HID.dll without a version resource"; do
  dll=${row%%:*} what=${row#*:}
  echo "-- update and uninstall with $what in place"
  cp "$work/$dll" "$inst/CM_HID.dll"
  echo stale >>"$inst/telvaro.exe"
  check "setup /S with $what ends with exit code 0" wine "$installer" /S
  check "the update keeps $what" cmp -s "$work/$dll" "$inst/CM_HID.dll"
  check "the update replaces the program" cmp -s "$stage/telvaro.exe" "$inst/telvaro.exe"
  check "uninstall.exe /S ends with exit code 0" wine "$inst/uninstall.exe" /S
  check "uninstall removes the program files" sh -c \
    'for f in uninstall.exe telvaro.exe handsetctl.exe README.txt LICENSE.txt; do
       for _ in $(seq 150); do [ -e "$1/$f" ] || break; sleep 0.2; done
       [ ! -e "$1/$f" ] || exit 1; done' sh "$inst"
  check "uninstall keeps $what (and so the folder)" cmp -s "$work/$dll" "$inst/CM_HID.dll"
  check "the Apps & features entry is gone" entry_gone
  rm -f "$inst/CM_HID.dll"
  check "setup /S into the folder with no CM_HID.dll puts ours in" sh -c \
    'wine "$1" /S && cmp -s "$2/CM_HID.dll" "$3/CM_HID.dll"' sh "$installer" "$stage" "$inst"
done
echo stale >>"$inst/CM_HID.dll"
check "an update replaces our own (older) CM_HID.dll" sh -c \
  'wine "$1" /S && cmp -s "$2/CM_HID.dll" "$3/CM_HID.dll"' sh "$installer" "$stage" "$inst"

echo "-- silent uninstall while the program runs"
wine "$inst/telvaro.exe" >/dev/null 2>&1 &
running=$!
check "the updated telvaro.exe shows its window" probe present 20
# Our start-with-Windows values in every form and place the program and earlier builds wrote
# them, another copy's value, and settings in both places.
elsewhere='C:\Portable\TELVARO\telvaro.exe'
wine reg add "HKCU\\$run_key" /v Dialbridge /d "\"$exe_win\"" /f >/dev/null 2>&1
wine reg add "HKLM\\$run_key" /v Dialbridge /d "$exe_win" /f /reg:32 >/dev/null 2>&1
wine reg add "HKLM\\$run_key" /v Dialbridge /d "$elsewhere" /f /reg:64 >/dev/null 2>&1
wine reg add 'HKCU\Software\Dialbridge' /v CurrentAppIndex /d 3 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Dialbridge' /v CurrentAppIndex /d 5 /f /reg:32 >/dev/null 2>&1
check "uninstall.exe /S ends with exit code 0" wine "$inst/uninstall.exe" /S
check "the install folder is gone" gone_within "$inst" 30
check "the running copy's window is gone" probe absent 0
check "the running copy ended with exit code 0" ended_with_0 "$running"
check "the Start-menu shortcut is gone" test ! -e "$shortcut"
check "the Apps & features entry is gone" entry_gone
same "HKCU Run value with our path (quoted) removed" "" "$(reg_value "HKCU\\$run_key" Dialbridge)"
same "HKLM Run value (32-bit view) with our path removed" "" \
  "$(reg_value "HKLM\\$run_key" Dialbridge /reg:32)"
same "another copy's Run value (HKLM, 64-bit view) kept" "REG_SZ $elsewhere" \
  "$(reg_value "HKLM\\$run_key" Dialbridge /reg:64)"
same "settings under HKCU kept" "REG_SZ 3" "$(reg_value 'HKCU\Software\Dialbridge' CurrentAppIndex)"
same "settings under HKLM (32-bit view) kept" "REG_SZ 5" \
  "$(reg_value 'HKLM\Software\Dialbridge' CurrentAppIndex /reg:32)"

echo "-- /D= into a folder with blanks, removed by the entry's QuietUninstallString"
blank_win='C:\Tel Varo Test\TELVARO'
blank=$(unix_path "$blank_win")
check "setup /S /D=$blank_win ends with exit code 0" \
  run_line "\"$(printf 'Z:%s' "${installer//\//\\}")\" /S /D=$blank_win"
check "installed into $blank_win" files_match_stage "$blank"
same "entry: InstallLocation" "REG_SZ $blank_win" "$(reg_value "$uninst_key" InstallLocation)"
wine reg add "HKCU\\$run_key" /v Dialbridge /d "\"$blank_win\\telvaro.exe\"" /f >/dev/null 2>&1
quiet=$(reg_value "$uninst_key" QuietUninstallString)
check "QuietUninstallString runs with exit code 0" run_line "${quiet#REG_SZ }"
check "the folder with blanks is gone" gone_within "$blank" 30
check "the Apps & features entry is gone" entry_gone
same "quoted Run value of the path with blanks removed" "" \
  "$(reg_value "HKCU\\$run_key" Dialbridge)"

wineserver -k || true
finish "$note"
