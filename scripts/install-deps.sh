#!/usr/bin/env bash
# Installs what the build, the tests, the benchmarks, the packages and the demo need on a Debian
# machine (as root, or with sudo). Quick and silent when everything is there already.
set -euo pipefail
packages=(cmake make g++ zlib1g-dev libgtest-dev libgmock-dev googletest libbenchmark-dev mingw-w64
          xvfb xauth clang libclang-rt-14-dev clang-format clang-tidy imagemagick x11-utils
          fonts-liberation nsis zip unzip qemu-user-static)
# Both Wine architectures, so one prefix runs the x64 and the x86 programs (WoW64).
wine_packages=(wine wine64 libwine:amd64 libwine:i386 wine32:i386)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
wine_missing=()
for p in "${wine_packages[@]}"; do installed "$p" || wine_missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#wine_missing[@]} -eq 0 ] && exit 0

if [ ${#wine_missing[@]} -ne 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# An index that fails to download (an i386 mirror still syncing, an unreachable extra source) must
# not stop the install: what the release itself holds is enough.
$sudo apt-get update -qq || echo "apt-get update reported errors; going on with the indexes it has"

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ${#wine_missing[@]} -ne 0 ]; then
  echo "Installing Wine for x64 and x86: ${wine_packages[*]}"
  # A multiarch library needs the same version on both architectures. The security updates' i386
  # index can lag the amd64 one, so take both from the release itself for this install.
  pin=$(mktemp)
  printf 'Package: *\nPin: release n=bookworm,l=Debian\nPin-Priority: 1001\n' >"$pin"
  $sudo apt-get install -y -qq --no-install-recommends --allow-downgrades \
    -o Dir::Etc::Preferences="$pin" "${wine_packages[@]}" >/dev/null
  rm -f "$pin"
fi
