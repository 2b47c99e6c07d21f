#!/usr/bin/env bash
# Checks the manual pages as people read them: mandoc's checker on the pages
# as installed on Linux, then each page rendered three ways (the source page
# with man -l, as the README suggests; the Linux page as man shows it once
# installed; the Windows archive's text, made by cmake/text-file.cmake as the
# Windows build makes it), and what must or must not be in each rendering.
#   usage: manual_pages_test.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail
build=$1; source=$2; version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
fail() { echo "FAIL $*"; status=1; }

(cd "$build/man" && mandoc -T lint Zenolt.1 ZenoltDump.1 ZenoltBatch.1 ZenoltWatch.1 ZenoltSession.1) ||
    fail "mandoc -T lint"

# Writes the page rendered one way, as plain text (bold and underline's
# overstrikes and the Windows line ends taken out).
render() {  # render source|linux|windows PAGE
    case $1 in
        source) MANWIDTH=80 man -E ascii -l "$source/man/$2.1" ;;
        linux) MANWIDTH=80 man -E ascii -l "$build/man/$2.1" ;;
        windows) cmake -D MANDOC="$(command -v mandoc)" -D "OS=Zenolt $version" \
                     -D IN="$source/man/$2.1" -D OUT="$scratch/$2.txt" \
                     -P "$source/cmake/text-file.cmake" && cat "$scratch/$2.txt" ;;
    esac 2>&1 | sed 's/.\x08//g; s/\r$//'
}

# Each rule: where it holds, its name, and an extended regular expression
# that no line may match (!) or that some line must match (=).
rules=(
    "all|an option's dashes doubled (--x rendered ---x)|!---"
    "all|a placeholder left unfilled|!@[A-Za-z_]+@"
    "all|a roff escape shown as text|!\\\\[(*[]|\\\\f[BIRP]"
    "all|a character the renderer could only name|!<[a-z]+>"
    "all|a line wider than 80 columns|!^.{81}"
    "all|version $version in the history|=^ +This page describes Zenolt[A-Za-z]* $version\\.\$"
    "all|version $version in the footer|=^Zenolt $version +"
    "linux|--dde, which the Linux programs do not have|!--dde"
    "windows|--dde in the Windows pages of ZenoltBatch and ZenoltWatch|=--dde|Zenolt|ZenoltDump|ZenoltSession"
)
for page in Zenolt ZenoltDump ZenoltBatch ZenoltWatch ZenoltSession; do
    for way in source linux windows; do
        text=$(render "$way" "$page" | expand)
        for rule in "${rules[@]}"; do
            IFS='|' read -r where name pattern exempt <<<"$rule"
            [ "$where" = all ] || [ "$where" = "$way" ] || continue
            [[ -n $exempt && $page =~ ^($exempt)$ ]] && continue
            case $pattern in
                '!'*) if lines=$(grep -nE -- "${pattern#!}" <<<"$text"); then
                          fail "$page ($way): $name:"; sed 's/^/    /' <<<"$lines"; fi ;;
                '='*) grep -qE -- "${pattern#=}" <<<"$text" || fail "$page ($way): no $name" ;;
            esac
        done
    done
done
[ "$status" = 0 ] && echo "manual pages checked: 5 pages, 3 renderings each"
exit $status
