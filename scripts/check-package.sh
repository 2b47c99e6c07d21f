#!/usr/bin/env bash
# Makes the release archive of a Windows build and checks that it holds the
# five programs, as console programs importing only system DLLs, the README,
# licence and changelog and the rendered manual pages, each text with CR LF
# line ends, the pages without doubled dashes or unfilled placeholders.
#   usage: check-package.sh BUILD_DIR i686|x86_64
set -euo pipefail
build=$(cd "$1" && pwd); processor=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G ZIP -B "$out" >/dev/null)
archive=$(ls "$out"/*.zip)
listing=$(cmake -E tar tf "$archive" | grep -v '/$')
echo "$(basename "$archive"):"
sed 's/^/  /' <<<"$listing"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
bits=$([ "$processor" = i686 ] && echo 32 || echo 64)
status=0
[ "$(basename "$archive")" = "Zenolt-$version-win$bits.zip" ] ||
    { echo "misnamed: $(basename "$archive")"; status=1; }
texts="README.txt LICENSE.txt CHANGELOG.txt manual/Zenolt.txt manual/ZenoltDump.txt
       manual/ZenoltBatch.txt manual/ZenoltWatch.txt manual/ZenoltSession.txt"
expected="Zenolt.exe ZenoltDump.exe ZenoltBatch.exe ZenoltWatch.exe ZenoltSession.exe $texts"
for file in $expected; do
    grep -q "/$file\$" <<<"$listing" || { echo "missing: $file"; status=1; }
done
[ "$(wc -l <<<"$listing")" -eq "$(wc -w <<<"$expected")" ] ||
    { echo "the archive holds other files than the programs and their texts"; status=1; }
(cd "$out" && cmake -E tar xf "$archive")
for file in $texts; do
    text=$(ls "$out"/*/"$file" 2>/dev/null) || continue
    # Every line, the last included, ends in CR LF.
    if grep -q $'[^\r]$\|^$' "$text" || [ "$(tail -c1 "$text" | od -An -c | tr -d ' ')" != '\n' ]; then
        echo "not CR LF throughout: $file"; status=1
    fi
done
grep -q "Copyright (c) 2026 The Zenolt authors" "$out"/*/LICENSE.txt 2>/dev/null ||
    { echo "LICENSE.txt without the copyright"; status=1; }
grep -q "ZenoltWatch $version" "$out"/*/manual/ZenoltWatch.txt 2>/dev/null ||
    { echo "the rendered page lacks the version"; status=1; }
# An option's dashes doubled (--x rendered ---x) or a placeholder left unfilled.
if grep -nE -- '---|@[A-Za-z_]+@' "$out"/*/manual/*.txt; then
    echo "a rendered page reads wrong (the lines above)"; status=1
fi
bash "$here/check-imports.sh" "$processor" "$out"/*/Zenolt.exe "$out"/*/ZenoltDump.exe \
    "$out"/*/ZenoltBatch.exe "$out"/*/ZenoltWatch.exe "$out"/*/ZenoltSession.exe || status=1
[ "$status" -eq 0 ] && echo "archive checked"
exit $status
