#!/usr/bin/env bash
# Makes the release archive of a Windows build and checks that it holds the
# four programs, as console programs importing only system DLLs, and the README.
#   usage: check-package.sh BUILD_DIR i686|x86_64
set -euo pipefail
build=$(cd "$1" && pwd); processor=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G ZIP -B "$out" >/dev/null)
archive=$(ls "$out"/*.zip)
listing=$(cmake -E tar tf "$archive")
echo "$(basename "$archive"):"
sed 's/^/  /' <<<"$listing"
status=0
for file in Zenolt.exe ZenoltDump.exe ZenoltBatch.exe ZenoltWatch.exe README.md; do
    grep -q "/$file\$" <<<"$listing" || { echo "missing: $file"; status=1; }
done
[ "$(wc -l <<<"$listing")" -eq 5 ] || { echo "the archive holds more than the programs and the README"; status=1; }
(cd "$out" && cmake -E tar xf "$archive")
bash "$here/check-imports.sh" "$processor" "$out"/*/Zenolt.exe "$out"/*/ZenoltDump.exe \
    "$out"/*/ZenoltBatch.exe "$out"/*/ZenoltWatch.exe || status=1
exit $status
