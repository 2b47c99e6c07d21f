#!/usr/bin/env bash
# Makes the Debian package of a Linux build, installs it in a scratch root
# (dpkg -x) and runs two programs from there; checks what dpkg-deb says of it.
#   usage: deb_package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
package=$(ls "$out"/*.deb)
status=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then echo "ok $name"; else echo "FAIL $name"; status=1; fi
}
check "file name" [ "$(basename "$package")" = "zenolt_1.0_$(dpkg --print-architecture).deb" ]
info=$(dpkg-deb --info "$package")
field() { sed -n "s/^ $1: //p" <<<"$info"; }
check "package name" [ "$(field Package)" = zenolt ]
check "version" [ "$(field Version)" = 1.0 ]
check "architecture" [ "$(field Architecture)" = "$(dpkg --print-architecture)" ]
check "description" grep -q "Cartes du Ciel" <<<"$(field Description)"
check "depends on the C library" grep -q "libc6" <<<"$(field Depends)"
listing=$(dpkg-deb --contents "$package" | awk '{print $6}')
for program in Zenolt ZenoltDump ZenoltBatch ZenoltWatch; do
    check "installs /usr/bin/$program" grep -qx "./usr/bin/$program" <<<"$listing"
done
check "installs the README" grep -qx "./usr/share/doc/zenolt/README.md" <<<"$listing"
root="$out/root"
dpkg -x "$package" "$root"
usage=$("$root/usr/bin/Zenolt") && zenolt_status=0 || zenolt_status=$?
check "Zenolt prints its usage list" [ "$zenolt_status" = 0 -a "$(wc -l <<<"$usage")" = 33 ]
check "usage's first line" [ "$(head -n1 <<<"$usage")" = "Zenolt v1.0 - Orvane - 2003" ]
help=$("$root/usr/bin/ZenoltBatch" --help) && batch_status=0 || batch_status=$?
check "ZenoltBatch --help" [ "$batch_status" = 0 -a "${help%%$'\n'*}" = \
    "ZenoltBatch v1.0 - sends a script of commands to Cartes du Ciel in one conversation" ]
echo "package checked: $(basename "$package")"
exit $status
