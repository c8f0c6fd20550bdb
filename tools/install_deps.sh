#!/bin/bash
# Installs what building, running and testing Travik needs on Debian 12 (run as root).
# Does nothing for packages that are already there.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev libboost1.81-dev
          g++-mingw-w64-x86-64-posix wine64 wine xvfb xauth x11-utils imagemagick
          fonts-wqy-microhei fonts-wine locales python3 bc time strace
          # the sanitizer build and the fuzz targets: clang, its sanitizer and libFuzzer runtimes
          # (only recommended by clang), and the symbolizer for readable reports
          clang libclang-rt-dev llvm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Chinese text under Wine needs a UTF-8 Chinese locale for file names and fonts.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
