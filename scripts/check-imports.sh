#!/usr/bin/env bash
# Checks that each Windows program given is a console program of the given
# processor (i686: PE32, x86_64: PE32+) that imports only DLLs found on every
# stock Windows, so it runs with nothing else installed, and that it loads
# user32.dll, the DDE library, only when a conversation starts: user32.dll must
# be among its delay-loaded imports and nowhere in its ordinary import table;
# nor may ws2_32.dll and advapi32.dll (for the TCP command server) be there.
# DLLs loaded on first use count as imports too, as do DLL names found in the
# program's text.
#   usage: check-imports.sh i686|x86_64 PROGRAM.exe...
set -euo pipefail
processor=$1; shift
case "$processor" in
    i686)   objdump=i686-w64-mingw32-objdump;   magic='(PE32)';  thunk_bytes=4 ;;
    x86_64) objdump=x86_64-w64-mingw32-objdump; magic='(PE32+)'; thunk_bytes=8 ;;
    *) echo "unknown processor $processor" >&2; exit 2 ;;
esac
system_dlls='^(kernel32|user32|msvcrt|advapi32|gdi32|ntdll|ws2_32)\.dll$'
# Named in the text but never needed: the static GCC runtime only asks
# whether this DLL happens to be loaded already and carries on without it.
optional_probes='^libgcc_s_dw2-1\.dll$'

# Prints one line per DLL the program loads on first use: the DLL's name, then
# the functions it takes from it. GNU ld leaves the data-directory entry of
# this table empty, so the table is found by its contents: a 32-byte record
# with attributes 1 (addresses relative to the image) whose name field points
# at a name ending in .dll and whose address and name tables lie inside the
# image, the name table listing the functions.
delay_imports() {
    local program=$1 base sections="" idx name size vma rest
    base=$("$objdump" -p "$program" | awk '$1 == "ImageBase" { print $2 }')
    while read -r idx name size vma _ offset rest; do
        [[ "$idx" =~ ^[0-9]+$ ]] || continue
        sections+="$((16#$vma - 16#$base)) $((16#$size)) $((16#$offset));"
    done < <("$objdump" -h "$program")
    od -An -v -tu1 "$program" | awk -v sections="$sections" -v thunk="$thunk_bytes" '
        { for (i = 1; i <= NF; i++) b[n++] = $i + 0 }
        function u32(o) { return b[o] + b[o + 1] * 256 + b[o + 2] * 65536 + b[o + 3] * 16777216 }
        # The file offset of an address relative to the image; -1 when no
        # section with contents in the file holds it.
        function at(rva,    i) {
            for (i = 1; i <= ns; i++)
                if (soff[i] > 0 && rva >= srva[i] && rva < srva[i] + ssize[i]) return soff[i] + rva - srva[i]
            return -1
        }
        function text(o,    s, k) {
            s = ""
            for (k = 0; k < 256 && o + k < n && b[o + k] != 0; k++) s = s sprintf("%c", b[o + k])
            return s
        }
        END {
            ns = split(sections, list, ";") - 1
            for (i = 1; i <= ns; i++) { split(list[i], f, " "); srva[i] = f[1]; ssize[i] = f[2]; soff[i] = f[3] }
            for (o = 0; o + 32 <= n; o += 4) {
                if (u32(o) != 1) continue
                where = at(u32(o + 4)); addresses = at(u32(o + 12)); names = at(u32(o + 16))
                if (where < 0 || addresses < 0 || names < 0) continue
                dll = text(where)
                if (tolower(dll) !~ /^[a-z0-9_.-]+\.dll$/) continue
                functions = ""; valid = 1
                for (t = names; t + thunk <= n; t += thunk) {
                    low = u32(t); high = thunk == 8 ? u32(t + 4) : 0
                    if (low == 0 && high == 0) break
                    if ((thunk == 8 ? high : low) >= 2147483648) { functions = functions " #" low % 65536; continue }
                    entry = at(low)
                    if (entry < 0) { valid = 0; break }
                    functions = functions " " text(entry + 2)
                }
                if (valid && functions != "") print dll functions
            }
        }'
}

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
    delayed=$(delay_imports "$program")
    delayed_dlls=$(cut -d' ' -f1 <<<"$delayed")
    named=$(strings -a "$program" | grep -ioE '^[a-z0-9_.-]+\.dll$' || true)
    while read -r dll; do
        [ -z "$dll" ] && continue
        lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
        if ! grep -Eq "$system_dlls" <<<"$lower" && ! grep -Eq "$optional_probes" <<<"$lower"; then
            echo "$program: loads $dll, which is not a system DLL"; status=1
        fi
    done <<<"$(printf '%s\n%s\n%s\n' "$imported" "$delayed_dlls" "$named" | sort -fu)"
    # A DDE function missing from the delay-loading import library (a wrong
    # name, or a wrong argument byte count in the 32-bit names) is quietly
    # taken from the ordinary user32 import library instead.
    if grep -qix 'user32\.dll' <<<"$imported"; then
        echo "$program: imports user32.dll at start-up; every DDE function must be delay-loaded" \
             "(see cmake/user32-dde-delay.cmake)"
        status=1
    fi
    # Winsock and the registry likewise only when a program goes on to the
    # TCP command server.
    for dll in ws2_32 advapi32; do
        if grep -qix "$dll\.dll" <<<"$imported"; then
            echo "$program: imports $dll.dll at start-up; it must be delay-loaded" \
                 "(see cmake/tcp-delay.cmake)"
            status=1
        fi
    done
    if ! grep -qix 'user32\.dll' <<<"$delayed_dlls"; then
        echo "$program: does not delay-load user32.dll"; status=1
    fi
    echo "$program: imports $(tr '\n' ' ' <<<"$imported")"
    while read -r dll functions; do
        [ -n "$dll" ] && echo "$program: delay-loads $dll:$(sed 's/^/ /' <<<"$functions")"
    done <<<"$delayed"
done
exit $status
