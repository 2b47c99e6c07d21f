#!/usr/bin/env bash
# What a wait for the planetarium costs: the processor time a program uses
# while it looks for a planetarium that is not there, against the time it
# waits. Each program looks for SECONDS seconds (ZENOLT_WAIT) and then ends
# as an absent planetarium makes it end.
#   - The Linux Zenolt, with the port published as 0 (a planetarium that has
#     ended) and with nothing published (each look then also tries the
#     default port).
#   - The 64-bit Windows Zenolt.exe under Wine, with nothing published (a
#     look then also asks for a DDE server, once a second: a DDE instance set
#     up and torn down) and with TcpPort published as 0. Wine's own server
#     works for the program too: its processor time over the wait is counted
#     with the program's. The start of the process is counted too (about
#     0.15 s under Wine), and under Wine a program that only sleeps in steps
#     of 250 ms already costs about 0.5% of a core.
# Prints one line per case: the seconds waited, the processor seconds used,
# and the share of one core.
#   bash bench/wait_cost.sh [SECONDS]     (default 60)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}
cmake --preset linux >/dev/null
cmake --build --preset linux --target Zenolt >/dev/null
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zenolt-wait-cost.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Prints the processor seconds (user and system) process pid has used.
cpu_seconds() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$1/stat"
}

# Runs a command (its processor time counted with that of the process
# $extra_pid, when set, over the same span) and prints the case's line.
measure() {
    local name=$1 extra_before=0 extra_after=0 times
    shift
    [ -z "${extra_pid:-}" ] || extra_before=$(cpu_seconds "$extra_pid")
    /usr/bin/time -o "$scratch/times" -f '%e %U %S' "$@" >/dev/null 2>&1 || true
    times=$(tail -n 1 "$scratch/times")
    [ -z "${extra_pid:-}" ] || extra_after=$(cpu_seconds "$extra_pid")
    awk -v name="$name" -v extra="$(awk -v a="$extra_after" -v b="$extra_before" 'BEGIN { print a - b }')" \
        '{ cpu = $2 + $3 + extra; printf "%-58s %6.1f s waited, %6.3f s of processor, %5.2f%% of a core\n", name, $1, cpu, 100 * cpu / $1 }' <<<"$times"
}

mkdir -p "$scratch/home0/.skychart/tmp" "$scratch/nothing"
printf 0 >"$scratch/home0/.skychart/tmp/tcpport"
measure "Linux Zenolt, port published as 0" \
    env HOME="$scratch/home0" ZENOLT_WAIT="$seconds" build/linux/Zenolt GETRA || true
measure "Linux Zenolt, nothing published (tries port 3292)" \
    env HOME="$scratch/nothing" ZENOLT_WAIT="$seconds" build/linux/Zenolt GETRA || true

if [ -f build/windows-x64/Zenolt.exe ] && [ -x /usr/lib/wine/wine64 ]; then
    # shellcheck source=../scripts/wine-env.sh
    source scripts/wine-env.sh
    export WINEPREFIX=$scratch/wineprefix WINELOADER=$zenolt_wine64
    prepare_wine_prefix >/dev/null 2>&1
    # The prefix's Wine server, found by the prefix in its environment.
    for p in $(pgrep wineserver); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && extra_pid=$p
    done
    measure "Windows Zenolt.exe under Wine, nothing published (DDE too)" \
        env ZENOLT_WAIT="$seconds" "${zenolt_fixed_layout[@]}" "$zenolt_wine64" build/windows-x64/Zenolt.exe GETRA || true
    wine64_tool reg add 'HKCU\Software\Astro_PC\Ciel\Status' /v TcpPort /t REG_SZ /d 0 /f >/dev/null 2>&1
    measure "Windows Zenolt.exe under Wine, TcpPort published as 0" \
        env ZENOLT_WAIT="$seconds" "${zenolt_fixed_layout[@]}" "$zenolt_wine64" build/windows-x64/Zenolt.exe GETRA || true
    wineserver -k 2>/dev/null || true
else
    echo "Windows Zenolt.exe: skipped (no build/windows-x64/Zenolt.exe or no /usr/lib/wine/wine64)"
fi
