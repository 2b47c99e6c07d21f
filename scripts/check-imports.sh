#!/usr/bin/env bash
# Checks that each Windows program given is a console program of the given
# processor (i686: PE32, x86_64: PE32+) that imports only DLLs found on every
# stock Windows, so it runs with nothing else installed. DLLs loaded on first
# use (delay-loaded) count too: their names are found in the program's text.
#   usage: check-imports.sh i686|x86_64 PROGRAM.exe...
set -euo pipefail
processor=$1; shift
case "$processor" in
    i686)   objdump=i686-w64-mingw32-objdump;   magic='(PE32)' ;;
    x86_64) objdump=x86_64-w64-mingw32-objdump; magic='(PE32+)' ;;
    *) echo "unknown processor $processor" >&2; exit 2 ;;
esac
system_dlls='^(kernel32|user32|msvcrt|advapi32|gdi32|ntdll)\.dll$'
# Named in the text but never needed: the static GCC runtime only asks
# whether this DLL happens to be loaded already and carries on without it.
optional_probes='^libgcc_s_dw2-1\.dll$'
status=0
for program in "$@"; do
    headers=$("$objdump" -p "$program")
    if ! grep -E '^Magic[[:space:]]' <<<"$headers" | grep -qF "$magic"; then
        echo "$program: not a $magic image"; status=1
    fi
    if ! grep -Eq '^Subsystem[[:space:]]+0+3[[:space:]]+\(Windows CUI\)' <<<"$headers"; then
        echo "$program: not a console program"; status=1
    fi
    imported=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
    [ -n "$imported" ] || { echo "$program: no imports found"; status=1; }
    named=$(strings -a "$program" | grep -ioE '^[a-z0-9_.-]+\.dll$' || true)
    while read -r dll; do
        [ -z "$dll" ] && continue
        lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
        if ! grep -Eq "$system_dlls" <<<"$lower" && ! grep -Eq "$optional_probes" <<<"$lower"; then
            echo "$program: loads $dll, which is not a system DLL"; status=1
        fi
    done <<<"$(printf '%s\n%s\n' "$imported" "$named" | sort -fu)"
    echo "$program: imports $(tr '\n' ' ' <<<"$imported")"
done
exit $status
