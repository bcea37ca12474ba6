#!/usr/bin/env bash
# Installs what the build and every test need on Debian 12. Does nothing when all is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev valgrind
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick fonts-wqy-microhei locales
  python3 curl
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The Wine suite runs the program under a Chinese and an English locale.
for locale in zh_CN.UTF-8 en_US.UTF-8; do
  if ! locale -a 2>/dev/null | grep -qi "^${locale/UTF-8/utf8}$"; then
    sed -i "s/^# *\(${locale} UTF-8\)/\1/" /etc/locale.gen
    regenerate=1
  fi
done
if [[ -n "${regenerate:-}" ]]; then locale-gen >/dev/null; fi
