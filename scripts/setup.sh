#!/bin/bash
# Installs what building and testing Nodelark needs on a Debian machine.
# Safe to run again: it skips whatever is already there.
set -euo pipefail

PACKAGES=(g++ cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 xvfb
          x11-utils xdotool imagemagick locales fonts-ipafont-gothic iproute2
          googletest libgtest-dev python3 python3-pil clang libclang-rt-14-dev)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" </dev/null >/dev/null
fi

# Wine takes its ANSI code page from the locale; without ja_JP it silently
# falls back to 1252.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
