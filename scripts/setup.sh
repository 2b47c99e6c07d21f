#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12 (run as root):
# CMake, the mingw-w64 cross compilers, Wine with 32-bit support, GoogleTest
# sources, clang with its sanitizer and fuzzer runtimes, what checks and
# makes the release: mandoc (manual pages), lintian (the Debian package) and
# bash-completion (the completion's loader), and Xvfb and Python, which the
# real Windows planetarium needs to run headless under Wine.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    echo "scripts/setup.sh installs Debian packages: run it as root" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq \
    cmake make g++ git file binutils time dpkg-dev \
    mingw-w64 \
    wine wine64 wine32:i386 \
    googletest libgtest-dev \
    clang libclang-rt-14-dev \
    mandoc lintian bash-completion \
    xvfb python3 \
    >/dev/null
echo "setup: done"
