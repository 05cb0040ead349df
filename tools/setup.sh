#!/usr/bin/env bash
# Prepares a Debian machine to build and test Pelorin: packages, the zh_CN.UTF-8 locale
# (Wine then runs with ANSI code page 936) and zh_TW.UTF-8 (code page 950), and the Wine
# prefix the tests copy.
# Idempotent: a second run only checks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++ g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
          fonts-wqy-microhei locales iproute2 cmake ninja-build googletest
          python3  # the release archive (tools/release/pack-zip.py) and the exe's checks
          miniupnpd-nftables  # a real UPnP gateway in the rig
          clang libclang-rt-14-dev)  # the fuzz targets: libFuzzer and its sanitizer runtimes
# 32-bit Wine, before the prefix is made, which then runs 32-bit programs. It is optional: a
# machine without it runs the program and every 64-bit test, and skips the 32-bit ones.
"$root/tools/install-packages.sh" --optional wine32:i386 "${packages[@]}"

# zh_CN.UTF-8 is the locale every Wine run gets; zh_TW.UTF-8 (code page 950) and C.UTF-8
# (code page 1252) let the program be tried on other display languages.
for wanted in zh_CN zh_TW; do
  if ! locale -a 2>/dev/null | grep -qix "$wanted.utf8"; then
    echo "setup: generating $wanted.UTF-8"
    sed -i "s/^# *$wanted.UTF-8 UTF-8/$wanted.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" >> /etc/locale.gen
    locale-gen >/dev/null
  fi
done

"$root/tools/wine/prefix.sh"

# Some kernels do not run 32-bit programs: there the 32-bit exe is built but never run.
/usr/lib/wine/wine --version >/dev/null 2>&1 \
  || echo "setup: this machine does not run 32-bit programs; tests of the 32-bit exe are skipped"
