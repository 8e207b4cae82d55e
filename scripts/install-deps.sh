#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian machine (as root, or with sudo).
set -euo pipefail
packages=(cmake make g++ libgtest-dev libgmock-dev googletest mingw-w64 wine wine64 xvfb xauth
          clang libclang-rt-14-dev clang-format imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
