#!/usr/bin/env bash
# Measures what a command costs from a shell loop in a session
# (ZenoltSession) against the same command run directly, against the real
# planetarium (Cartes du Ciel, ../shared/planetarium beside this repository)
# where its build succeeds, otherwise the stand-in (ZENOLT_BENCH_STAND_IN=1
# takes it in any case); it says which.
#
# Each figure is the median of CALLS calls (default 100) of a bash loop,
# each call timed alone with bash's own clock ($EPOCHREALTIME, no process):
#   session    Zenolt GETRA with ZENOLT_SESSION naming a session (--start)
#   direct     Zenolt GETRA in a conversation of its own
#   start      Zenolt with no arguments: the process starting and printing
#              its usage list, no conversation
#   batch line what one more GETRA line adds to a ZenoltBatch script: the
#              median of 5 runs of 1001 lines less that of 5 runs of 1, over
#              1000
# The goal, for the Linux programs: session at most 5 ms, and at most 1.5
# times batch line + start. The same figures follow for the 64-bit Windows
# programs under Wine (build/windows-x64, when it is built), with no goal:
# the pipe's session, and the registry value TcpPort written in the
# project's Wine prefix for the time of the run.
#   bash bench/session_run.sh [CALLS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
export LC_ALL=C   # $EPOCHREALTIME with a decimal point
calls=${1:-100}
repo=$PWD
cmake --preset linux >/dev/null
cmake --build --preset linux --target Zenolt ZenoltBatch ZenoltSession StandInPlanetarium >/dev/null
bin=$repo/build/linux
windows=$repo/build/windows-x64
planetarium=${ZENOLT_PLANETARIUM_DIR:-$(cd .. && pwd -P)/shared/planetarium}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zenolt-session-bench.XXXXXX")
sky_pid="" stand_in_pid="" registry=0
cleanup() {
    set +e
    trap - EXIT
    trap "" INT TERM HUP
    [ -z "${linux_session:-}" ] || ZENOLT_SESSION=$linux_session "$bin/ZenoltSession" --stop
    [ -z "${windows_session:-}" ] || ZENOLT_SESSION=$windows_session wine ZenoltSession.exe --stop >/dev/null 2>&1
    [ "$registry" = 0 ] || (source scripts/wine-env.sh; wine64_tool reg delete 'HKCU\Software\Astro_PC' /f) >/dev/null 2>&1
    if [ -z "$sky_pid" ] && [ -f "$scratch/start.log" ]; then
        sky_pid=$(sed -n 's/.* skychart pid \([0-9][0-9]*\)$/\1/p' "$scratch/start.log" | tail -n 1)
    fi
    [ -z "$sky_pid" ] || bash "$planetarium/stop.sh" "$sky_pid" >/dev/null 2>&1
    [ -z "$stand_in_pid" ] || { touch "$scratch/stop"; wait "$stand_in_pid"; }
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if [ "${ZENOLT_BENCH_STAND_IN:-0}" != 1 ] && [ -f "$planetarium/build.sh" ] &&
    bash "$planetarium/build.sh" >"$scratch/build.log" 2>&1; then
    echo "Starting the real planetarium..." >&2
    sky_pid=$(bash "$planetarium/start.sh" 0 2>"$scratch/start.log") || { cat "$scratch/start.log" >&2; exit 1; }
    rundir=$(sed -n 's/^\[start\.sh\] rundir \([^ ]*\) .*/\1/p' "$scratch/start.log" | tail -n 1)
    home=$rundir/home port=$(cat "$rundir/port")
    which="the real planetarium (Cartes du Ciel v4.3)"
else
    home=$scratch/home
    mkdir -p "$home/.skychart/tmp"
    "$bin/StandInPlanetarium" --tcp --log "$scratch/stand-in.log" --port-file "$home/.skychart/tmp/tcpport" \
        --stop-file "$scratch/stop" --lifetime 3600 &
    stand_in_pid=$!
    for _ in $(seq 100); do grep -q READY "$scratch/stand-in.log" 2>/dev/null && break; sleep 0.1; done
    port=$(cat "$home/.skychart/tmp/tcpport")
    which="the stand-in (StandInPlanetarium --tcp)"
fi
export HOME=$home
unset ZENOLT_SESSION

# Sets median to the median, in ms, of N runs of a command from this loop;
# a run that fails ends the benchmark.
median_of_calls() {  # N COMMAND...
    local n=$1 i t0 t1
    shift
    : >"$scratch/samples"
    for ((i = 0; i < n; i++)); do
        t0=$EPOCHREALTIME
        "$@" >/dev/null 2>"$scratch/err" || { echo "failed: $* $(cat "$scratch/err")" >&2; exit 1; }
        t1=$EPOCHREALTIME
        echo "$t0 $t1" >>"$scratch/samples"
    done
    median=$(awk '{ print ($2 - $1) * 1000 }' "$scratch/samples" | sort -g |
        awk '{ v[NR] = $1 } END { printf "%.2f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
}

# Sets figures to the four figures of a build: session, direct, start,
# batch line.
measure() {  # ZENOLT BATCH SESSION-NAME
    local zenolt=$1 batch=$2 name=$3 session direct start long
    echo "  $calls calls in the session, directly, and with no arguments..." >&2
    ZENOLT_SESSION=$name median_of_calls "$calls" $zenolt GETRA
    session=$median
    median_of_calls "$calls" $zenolt GETRA
    direct=$median
    median_of_calls "$calls" $zenolt
    start=$median
    echo "  a batch line..." >&2
    awk 'BEGIN { for (i = 0; i < 1001; i++) print "GETRA" }' >"$scratch/batch-1001"
    echo GETRA >"$scratch/batch-1"
    median_of_calls 5 $batch "$scratch/batch-1001"
    long=$median
    median_of_calls 5 $batch "$scratch/batch-1"
    figures="$session $direct $start $(awk -v a="$long" -v b="$median" 'BEGIN { printf "%.3f", (a - b) / 1000 }')"
}

echo "Linux programs against $which, port $port" >&2
linux_session=$("$bin/ZenoltSession" --start --idle 600 | sed -n "s/^ZENOLT_SESSION='\(.*\)'; export.*/\1/p")
measure "$bin/Zenolt" "$bin/ZenoltBatch" "$linux_session"
read -r l_session l_direct l_start l_line <<<"$figures"

w_row=""
if [ -f "$windows/Zenolt.exe" ] && [ -f "$windows/ZenoltSession.exe" ]; then
    echo "Windows programs (64-bit) under Wine..." >&2
    source scripts/wine-env.sh
    prepare_wine_prefix
    export WINELOADER=$zenolt_wine64
    wine() { "${zenolt_fixed_layout[@]}" "$zenolt_wine64" "$windows/$1" "${@:2}"; }
    registry=1
    wine64_tool reg add 'HKCU\Software\Astro_PC\Ciel\Status' /v TcpPort /t REG_SZ /d "$port" /f >/dev/null 2>&1
    windows_session=$(wine ZenoltSession.exe --start --idle 600 | tr -d '\r' |
        sed -n "s/^ZENOLT_SESSION='\(.*\)'; export.*/\1/p")
    measure "wine Zenolt.exe" "wine ZenoltBatch.exe" "$windows_session"
    read -r w_session w_direct w_start w_line <<<"$figures"
    w_row=$(printf '| %-38s | %8s | %8s | %8s | %8s | %-8s |' "Windows x64 under Wine (wine64)" \
        "$w_session" "$w_direct" "$w_start" "$w_line" "no goal")
fi

echo
echo "Planetarium: $which; median ms per call of $calls calls from a bash loop"
printf '| %-38s | %8s | %8s | %8s | %8s | %-8s |\n' "programs" "session" "direct" "start" "line" "goal"
echo "|----------------------------------------|----------|----------|----------|----------|----------|"
verdict=$(awk -v s="$l_session" -v st="$l_start" -v l="$l_line" \
    'BEGIN { print (s <= 5 && s <= 1.5 * (st + l)) ? "met" : "MISS" }')
printf '| %-38s | %8s | %8s | %8s | %8s | %-8s |\n' "Linux (build/linux)" "$l_session" "$l_direct" "$l_start" "$l_line" "$verdict"
[ -z "$w_row" ] || echo "$w_row"
echo
echo "session: Zenolt GETRA through a session; direct: in a conversation of its own; start: Zenolt"
echo "printing its usage (the process alone); line: one more GETRA in a ZenoltBatch script."
echo "Goal (Linux): session <= 5 ms and <= 1.5 x (start + line) = $(awk -v a="$l_start" -v b="$l_line" 'BEGIN { printf "%.2f", 1.5 * (a + b) }') ms."
# What any process costs to start here, the floor under every figure above:
# where it is near 5 ms, no program run from a loop can take less.
median_of_calls "$calls" /bin/true
echo "Any process: /bin/true from the same loop, median $median ms."
