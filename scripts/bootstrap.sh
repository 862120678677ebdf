#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, Wine and Xvfb need.
# Safe to run again: only what is missing is installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git pkg-config
  clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine64 wine32:i386 libwine-dev fonts-wine
  xvfb xauth x11-utils imagemagick xdotool
  libpugixml-dev libxml2-dev
  fp-utils nsis locales
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# Node.js runs the editor benchmark's peer; any installation with npm will do.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then missing+=(nodejs npm); fi

# Our users' locale: under it Wine's ANSI code page is 1251 and its own texts are Russian.
generate_locale() {
  locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8' && return 0
  echo "bootstrap: generating the ru_RU.UTF-8 locale"
  "${sudo_cmd[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
}
if [ ${#missing[@]} -eq 0 ]; then
  generate_locale
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
generate_locale
