#!/usr/bin/env bash
# Makes every release file into dist/: the Debian package (linux preset),
# the 32-bit and 64-bit Windows archives (windows and windows-x64 presets), a
# source tarball of the commit checked out (git archive), and SHA256SUMS of
# them all. Builds only what the packages hold; the tests are
# scripts/test.sh's, to be run first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
version=$(sed -n 's/^project(Zenolt VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
[ -z "$(git status --porcelain)" ] ||
    echo "release: the work tree has changes the source tarball will not hold" >&2
rm -rf dist
mkdir -p dist
for preset in linux windows windows-x64; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Zenolt ZenoltDump ZenoltBatch ZenoltWatch \
        zenolt_release_texts >/dev/null
    packages=$(mktemp -d)
    (cd "build/$preset" && cpack -B "$packages" >/dev/null)
    mv "$packages"/*.deb "$packages"/*.zip dist/ 2>/dev/null || true
    rm -rf "$packages"
done
git archive --format=tar.gz --prefix="zenolt-$version/" -o "dist/zenolt-$version.tar.gz" HEAD
(cd dist && sha256sum -- * >SHA256SUMS)
echo "=== dist/"
(cd dist && ls -l && cat SHA256SUMS)
expected="zenolt_${version}_$(dpkg --print-architecture).deb Zenolt-$version-win32.zip
          Zenolt-$version-win64.zip zenolt-$version.tar.gz"
for file in $expected; do
    [ -f "dist/$file" ] || { echo "release: dist/$file was not made" >&2; exit 1; }
done
