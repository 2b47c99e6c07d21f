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
# A mirror part way through its sync serves indexes that do not match their
# release file; a later try usually finds it whole. An index still missing
# after that is left out (apt says which), and what it held cannot be
# installed below.
for try in 1 2 3; do
    apt-get update -qq && break
    echo "setup: apt-get update failed (try $try of 3)" >&2
    [ "$try" = 3 ] || sleep 30
done
packages=(
    cmake make g++ git file binutils time dpkg-dev
    mingw-w64
    wine wine64
    googletest libgtest-dev
    clang libclang-rt-14-dev
    mandoc lintian bash-completion
    xvfb python3
)
apt-get install -y -qq "${packages[@]}" >/dev/null
# Wine's 32-bit half runs the 32-bit Windows programs. Without it (an i386
# index the mirror could not give) their tests are reported skipped, with the
# reason, as on a machine whose kernel cannot run 32-bit programs.
if ! apt-get install -y -qq wine32:i386 >/dev/null; then
    echo "setup: WARNING: wine32:i386 could not be installed; the 32-bit Windows programs' tests will be skipped" >&2
fi
echo "setup: done"
