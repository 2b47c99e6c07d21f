#!/usr/bin/env bash
# Makes the Debian package of a Linux build, installs it in a scratch root
# (dpkg -x) and runs the programs and their completion from there; checks
# what dpkg-deb and lintian say of it.
#   usage: deb_package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd); version=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
package=$(ls "$out"/*.deb)
status=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then echo "ok $name"; else echo "FAIL $name"; status=1; fi
}
check "file name" [ "$(basename "$package")" = "zenolt_${version}_$(dpkg --print-architecture).deb" ]
info=$(dpkg-deb --info "$package")
field() { sed -n "s/^ $1: //p" <<<"$info"; }
check "package name" [ "$(field Package)" = zenolt ]
check "version" [ "$(field Version)" = "$version" ]
check "architecture" [ "$(field Architecture)" = "$(dpkg --print-architecture)" ]
check "description" grep -q "Cartes du Ciel" <<<"$(field Description)"
check "depends on the C library" grep -q "libc6" <<<"$(field Depends)"
check "section and priority" [ "$(field Section) $(field Priority)" = "science optional" ]
listing=$(dpkg-deb --contents "$package" | awk '{print $6}')
for program in Zenolt ZenoltDump ZenoltBatch ZenoltWatch ZenoltSession; do
    check "installs /usr/bin/$program" grep -qx "./usr/bin/$program" <<<"$listing"
done
for file in README.md copyright changelog.gz; do
    check "installs $file" grep -qx "./usr/share/doc/zenolt/$file" <<<"$listing"
done
for program in Zenolt ZenoltDump ZenoltBatch ZenoltWatch ZenoltSession; do
    check "installs $program's page" grep -qx "./usr/share/man/man1/$program.1.gz" <<<"$listing"
    check "installs $program's completion" \
        grep -qx "./usr/share/bash-completion/completions/$program" <<<"$listing"
done
lintian --fail-on error,warning --display-info "$package" >"$out/lintian" 2>&1 &&
    lint_status=0 || lint_status=$?
grep -v 'root privileges' "$out/lintian" | sed 's/^/  lintian: /' || true
check "lintian: no error, no warning" [ "$lint_status" = 0 ]
root="$out/root"
dpkg -x "$package" "$root"
usage=$("$root/usr/bin/Zenolt") && zenolt_status=0 || zenolt_status=$?
check "Zenolt prints its usage list" [ "$zenolt_status" = 0 -a "$(wc -l <<<"$usage")" = 33 ]
check "usage's first line" [ "$(head -n1 <<<"$usage")" = "Zenolt v1.0 - Orvane - 2003" ]
help=$("$root/usr/bin/ZenoltBatch" --help) && batch_status=0 || batch_status=$?
check "ZenoltBatch --help" [ "$batch_status" = 0 -a "${help%%$'\n'*}" = \
    "ZenoltBatch v1.0 - sends a script of commands to Cartes du Ciel in one conversation" ]
for program in ZenoltBatch ZenoltWatch ZenoltSession; do
    check "$program --version" [ "$("$root/usr/bin/$program" --version)" = "$program $version" ]
done
check "the changelog's entry is this version" \
    grep -q "^zenolt ($version) " <(gzip -dc "$root/usr/share/doc/zenolt/changelog.gz")
bash "$here/completion_test.sh" "$root" "$build/StandInPlanetarium" || status=1
echo "package checked: $(basename "$package")"
exit $status
