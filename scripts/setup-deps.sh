#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and this machine lacks.
# Each check names a file the package provides, so a machine that has everything runs no apt-get.
set -euo pipefail

# file-that-proves-it-is-there  package
needs=(
  /usr/bin/cmake                      cmake
  /usr/bin/ninja                      ninja-build
  /usr/bin/g++                        g++
  /usr/bin/clang++                    clang
  /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
  /usr/bin/clang-format               clang-format
  /usr/src/googletest/CMakeLists.txt  googletest
  /usr/include/benchmark/benchmark.h  libbenchmark-dev
  /usr/bin/python3                    python3
  /usr/bin/x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
  /usr/bin/x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
  /usr/bin/wine                       wine
  /usr/lib/wine/wine64                wine64
  /usr/bin/Xvfb                       xvfb
  /usr/bin/xauth                      xauth
  /usr/bin/xdotool                    xdotool
  /usr/bin/xclip                      xclip
  /usr/bin/import                     imagemagick
  /usr/share/fonts/truetype/wqy/wqy-microhei.ttc fonts-wqy-microhei
  /usr/sbin/locale-gen                locales
  /usr/bin/hyperfine                  hyperfine
  /usr/bin/node                       nodejs
  /usr/bin/npm                        npm
  /usr/bin/tsc                        node-typescript
  /usr/lib/wasm32-wasi/libc.a         wasi-libc
  /usr/lib/wasm32-wasi/libc++.a       libc++-14-dev-wasm32
  /usr/lib/llvm-14/lib/clang/14.0.6/lib/wasi/libclang_rt.builtins-wasm32.a libclang-rt-14-dev-wasm32
  /usr/bin/chromium                   chromium
  /usr/bin/chromedriver               chromium-driver
  /usr/lib/chromium/locales/zh-CN.pak chromium-l10n
  /usr/bin/firefox-esr                firefox-esr
  /usr/lib/python3/dist-packages/selenium/__init__.py python3-selenium
  /usr/bin/dpkg-shlibdeps             dpkg-dev
  /usr/bin/lintian                    lintian
  /usr/bin/man                        man-db
  /usr/bin/zsh                        zsh
  /usr/bin/fish                       fish
  /usr/bin/aria2c                     aria2
  /usr/bin/curl                       curl
  /usr/bin/wget                       wget
  /usr/lib/python3/dist-packages/pyftpdlib/__init__.py python3-pyftpdlib
  /usr/bin/python3-config             python3-dev
  /usr/include/pybind11/pybind11.h    pybind11-dev
  /usr/lib/python3/dist-packages/pybind11/__init__.py python3-pybind11
  /usr/lib/python3/dist-packages/pip/__init__.py python3-pip
  /usr/lib/python3.11/ensurepip/__init__.py python3-venv
  /usr/lib/python3/dist-packages/pytest/__init__.py python3-pytest
  /usr/lib/python3/dist-packages/mypy/__init__.py python3-mypy
  /usr/bin/wixl                       wixl
  /usr/bin/msibuild                   msitools
  /usr/bin/desktop-file-validate      desktop-file-utils
  /usr/bin/xdg-mime                   xdg-utils
)
extra=("$@")  # further packages a caller needs, as "file package" pairs
needs+=("${extra[@]}")

missing=()
for ((i = 0; i < ${#needs[@]}; i += 2)); do
  [ -e "${needs[i]}" ] || missing+=("${needs[i + 1]}")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root or install them" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # Another install may hold dpkg's lock for a while; wait for it rather than fail.
  apt-get install -y -qq -o DPkg::Lock::Timeout=300 "${missing[@]}" >/dev/null
fi

# Wine derives the ANSI code page from the locale: zh_CN.UTF-8 gives code page 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: the zh_CN.UTF-8 locale is missing; run as root to generate it" >&2
    exit 1
  fi
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
