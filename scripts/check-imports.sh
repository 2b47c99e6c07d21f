#!/usr/bin/env bash
# Checks that each Windows program given is a console program of the given
# processor (i686: PE32, x86_64: PE32+) that imports only DLLs found on every
# stock Windows, so it runs with nothing else installed.
#   usage: check-imports.sh i686|x86_64 PROGRAM.exe...
set -euo pipefail
processor=$1; shift
case "$processor" in
    i686)   objdump=i686-w64-mingw32-objdump;   magic='(PE32)' ;;
    x86_64) objdump=x86_64-w64-mingw32-objdump; magic='(PE32+)' ;;
    *) echo "unknown processor $processor" >&2; exit 2 ;;
esac
system_dlls='^(kernel32|user32|msvcrt|advapi32|gdi32|ntdll)\.dll$'
status=0
for program in "$@"; do
    headers=$("$objdump" -p "$program")
    if ! grep -Eq "^Magic[[:space:]]+[0-9a-f]+[[:space:]]+\\$magic" <<<"$headers"; then
        echo "$program: not a $magic image"; status=1
    fi
    if ! grep -Eq '^Subsystem[[:space:]]+0+3[[:space:]]+\(Windows CUI\)' <<<"$headers"; then
        echo "$program: not a console program"; status=1
    fi
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
    [ -n "$dlls" ] || { echo "$program: no imports found"; status=1; }
    while read -r dll; do
        [ -z "$dll" ] && continue
        if ! tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$system_dlls"; then
            echo "$program: imports $dll, which is not a system DLL"; status=1
        fi
    done <<<"$dlls"
    echo "$program: $(tr '\n' ' ' <<<"$dlls")"
done
exit $status
