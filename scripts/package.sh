#!/usr/bin/env bash
# Makes a release in dist/: the setup program of the x86 build (telvaro-<v>-setup.exe), portable
# zips of the x86 and the x64 build (telvaro-<v>-win32.zip, -win64.zip) and SHA256SUMS.
#
# The files are the Release builds of the presets (build/mingw-x86, build/mingw-x64: optimised,
# stripped, no link time stamp), the very files the end-to-end tests run. The zips are the same
# bytes on every run of one commit: every file carries the time of SOURCE_DATE_EPOCH (default: the
# commit's time), the entries have a fixed order and no extra fields.
#
#   scripts/package.sh [--with-x64-setup]
#     --with-x64-setup  also make the setup program of the x64 build (build/package/), which runs
#                       where 32-bit programs cannot; it is for tests and is not shipped.
#   TELVARO_PACKAGE_BUILD_DIR=dir  build in dir-x86 and dir-x64 instead of build/mingw-x86, -x64.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

with_x64_setup=0
for arg in "$@"; do
  case $arg in
    --with-x64-setup) with_x64_setup=1 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument $arg" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh

version=$(sed -nE 's/^project\(telvaro VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "package.sh: NOTE the working tree has uncommitted changes; the packages hold them too"
fi

build_prefix=${TELVARO_PACKAGE_BUILD_DIR:-build/mingw}
shipped=(telvaro.exe CM_HID.dll handsetctl.exe)
targets=(telvaro CM_HID handsetctl)

fail() { echo "package.sh: $*" >&2; exit 1; }

# A shipped file must be what a release build makes: no symbols, no debug sections, no link time,
# and the version resource of this version.
check_release_file() {  # file, toolchain prefix
  local file=$1 tool=$2 sections headers resources
  sections=$("$tool-objdump" -h -t "$file")
  headers=$("$tool-objdump" -p "$file")
  resources=$("$tool-windres" -i "$file" -O rc 2>/dev/null || true)
  grep -q 'no symbols' <<<"$sections" || fail "$file has a symbol table (not stripped)"
  ! grep -q '\.debug' <<<"$sections" || fail "$file has debug sections"
  grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$headers" ||
    fail "$file carries a link time stamp"
  grep -Eq "^ FILEVERSION ${version//./, }, 0\$" <<<"$resources" ||
    fail "$file lacks the version resource $version"
}

build() {  # arch (x86|x64) -> the build's bin folder on stdout
  local arch=$1 dir="$build_prefix-$1" tool
  tool=$([ "$arch" = x64 ] && echo x86_64-w64-mingw32 || echo i686-w64-mingw32)
  echo "== release build $arch ($dir)" >&2
  cmake --preset "mingw-$arch" -B "$dir" >/dev/null
  grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$dir/CMakeCache.txt" || fail "$dir is not a Release build"
  cmake --build "$dir" -j 2 --target "${targets[@]}" >&2
  for f in "${shipped[@]}"; do check_release_file "$dir/bin/$f" "$tool"; done
  echo "$dir/bin"
}

stage() {  # bin folder, folder name -> build/package/<name>
  local bin=$1 dir="build/package/$2" f
  rm -rf "$dir"
  mkdir -p "$dir"
  for f in "${shipped[@]}"; do cp "$bin/$f" "$dir/$f"; done
  # Windows users read these in Notepad: CRLF line ends.
  sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/README.txt >"$dir/README.txt"
  sed 's/$/\r/' LICENSE >"$dir/LICENSE.txt"
  chmod 644 "$dir"/*
  chmod 755 "$dir"
  touch -h -d "@$SOURCE_DATE_EPOCH" "$dir"/* "$dir"
}

make_zip() {  # folder name -> dist/<name>.zip
  local name=$1 out="$root/dist/$1.zip" f
  local entries=("$name/")
  for f in "${shipped[@]}" README.txt LICENSE.txt; do entries+=("$name/$f"); done
  rm -f "$out"
  # Zip keeps local times: with UTC the stored time is the same on every machine. -X: no extra
  # fields (owner ids, extra time stamps); the names are given in a fixed order.
  (cd build/package && TZ=UTC zip -X -q "$out" "${entries[@]}")
}

make_setup() {  # arch, folder name, output file
  local arch=$1 stage_dir="$root/build/package/$2" out=$3 icon_args=()
  [ -z "$icon" ] || icon_args=("-DICON=$icon")
  makensis -V2 -INPUTCHARSET UTF8 "-DVERSION=$version" "-DARCH=$arch" "-DSTAGE=$stage_dir" \
    "-DOUTFILE=$out" "${icon_args[@]}" packaging/telvaro.nsi
}

bin_x86=$(build x86)
bin_x64=$(build x64)

# The application's icon for the setup program, where the build made one; else NSIS's own.
icon=$(find "$build_prefix-x86" src/shell/win32 -name 'telvaro*.ico' -print 2>/dev/null | sort | head -n 1)
[ -z "$icon" ] || icon=$(realpath "$icon")

win32="telvaro-$version-win32"
win64="telvaro-$version-win64"
setup="telvaro-$version-setup.exe"
echo "== packages of $version (file times $(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T') UTC)"
stage "$bin_x86" "$win32"
stage "$bin_x64" "$win64"
mkdir -p dist
rm -f "dist/$setup" "dist/$win32.zip" "dist/$win64.zip" dist/SHA256SUMS
make_zip "$win32"
make_zip "$win64"
make_setup x86 "$win32" "$root/dist/$setup"
if [ "$with_x64_setup" = 1 ]; then
  make_setup x64 "$win64" "$root/build/package/telvaro-$version-setup-x64.exe"
  echo "made build/package/telvaro-$version-setup-x64.exe (x64 build, for tests, not shipped)"
fi
(cd dist && sha256sum "$setup" "$win32.zip" "$win64.zip" >SHA256SUMS)

echo "== dist/"
(cd dist && ls -l "$setup" "$win32.zip" "$win64.zip" SHA256SUMS && cat SHA256SUMS)
echo "installer icon: ${icon:-NSIS default}"
echo "stripped programs: $bin_x86/telvaro.exe ($(stat -c %s "$bin_x86/telvaro.exe") bytes)," \
  "$bin_x64/telvaro.exe ($(stat -c %s "$bin_x64/telvaro.exe") bytes)"
