#!/usr/bin/env bash
# Measures the Linux programs over the planetarium's TCP command server
# against a floor measured in the same run: a minimal client of the
# benchmark's own making exactly the same exchange (connect, greeting, the
# commands one at a time each with its reply, QUIT, Bye!) and nothing else.
# Times are medians of interleaved runs, each program timed with its floor,
# every other round in the other order. The real planetarium's speed wanders
# from one conversation to the next (its command round trip goes from about
# 0.2 to 1 ms and back, whoever the client), so the ratio of the two
# medians of 31 rounds swings by some 20 per cent either way; the ratio of
# program to floor within each round, whose median is what the aim is held
# to, stays within a few per cent. Both are printed, and the fastest runs.
# Talks to the real planetarium (Cartes du Ciel, ../shared/planetarium beside
# this repository) where its build succeeds, otherwise to the stand-in, and
# says which. ZENOLT_BENCH_STAND_IN=1 takes the stand-in in any case;
# ZENOLT_BENCH_SAMPLES=FILE keeps every timed run (round, name, ms) in FILE.
#   bash bench/tcp_run.sh [ROUNDS]      (default 31)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds=${1:-31}
cmake --preset linux >/dev/null
cmake --build --preset linux --target Zenolt ZenoltBatch StandInPlanetarium \
    tcp_minimal_client tcp_timer >/dev/null
bin=$PWD/build/linux
planetarium=${ZENOLT_PLANETARIUM_DIR:-$(cd .. && pwd -P)/shared/planetarium}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zenolt-tcp-bench.XXXXXX")
sky_pid="" stand_in_pid=""
# Whatever way the script ends, the planetarium it started is stopped and
# the scratch folder goes.
cleanup() {
    set +e
    trap - EXIT
    trap "" INT TERM HUP
    if [ -z "$sky_pid" ] && [ -f "$scratch/start.log" ]; then
        # Interrupted while it was starting: its log names the process so far.
        sky_pid=$(sed -n 's/.* skychart pid \([0-9][0-9]*\)$/\1/p' "$scratch/start.log" | tail -n 1)
    fi
    [ -n "$sky_pid" ] && bash "$planetarium/stop.sh" "$sky_pid" >/dev/null 2>&1
    if [ -n "$stand_in_pid" ]; then
        touch "$scratch/stop"
        for _ in $(seq 30); do kill -0 "$stand_in_pid" 2>/dev/null || break; sleep 0.1; done
        kill "$stand_in_pid" 2>/dev/null
        wait "$stand_in_pid" 2>/dev/null
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The planetarium, and the home whose published port file the programs find it by.
if [ "${ZENOLT_BENCH_STAND_IN:-0}" != 1 ] && [ -f "$planetarium/build.sh" ] &&
    bash "$planetarium/build.sh" >"$scratch/build.log" 2>&1; then
    echo "Starting the real planetarium..." >&2
    sky_pid=$(bash "$planetarium/start.sh" 0 2>"$scratch/start.log") ||
        { cat "$scratch/start.log" >&2; exit 1; }
    rundir=$(sed -n 's/^\[start\.sh\] rundir \([^ ]*\) .*/\1/p' "$scratch/start.log" | tail -n 1)
    home=$rundir/home
    port=$(cat "$rundir/port")
    which="the real planetarium (Cartes du Ciel v4.3, $planetarium)"
else
    if [ "${ZENOLT_BENCH_STAND_IN:-0}" = 1 ]; then
        why="ZENOLT_BENCH_STAND_IN=1"
    elif [ -f "$planetarium/build.sh" ]; then
        why="the real one's build failed: $(tail -n 1 "$scratch/build.log")"
    else
        why="no $planetarium/build.sh"
    fi
    home=$scratch/home
    mkdir -p "$home/.skychart/tmp"
    "$bin/StandInPlanetarium" --tcp --log "$scratch/log" --port-file "$home/.skychart/tmp/tcpport" \
        --stop-file "$scratch/stop" --lifetime 3600 &
    stand_in_pid=$!
    for _ in $(seq 100); do grep -q READY "$scratch/log" 2>/dev/null && break; sleep 0.1; done
    port=$(sed -n 's/^READY port=//p' "$scratch/log")
    [ -n "$port" ] || { echo "the stand-in did not start" >&2; exit 1; }
    which="the stand-in (StandInPlanetarium --tcp; $why)"
fi
echo "Planetarium: $which, port $port" >&2

# The script alternates zooming in and out, so that the chart ends as it began.
awk 'BEGIN { for (i = 0; i < 500; i++) printf "ZOM+\nZOM-\n" }' >"$scratch/batch-1000"

# Times program and floor interleaved; a run that fails stops the benchmark
# with what the run wrote. Every timed run is kept in the samples file.
time_pair() {  # ROUNDS -- NAME PROGRAM ARGS... -- NAME PROGRAM ARGS...
    HOME=$home TMPDIR=$scratch "$bin/tcp_timer" --samples "$scratch/samples-now" "$@" >>"$scratch/times" || {
        echo "what the failed run wrote:" >&2
        cat "$scratch"/zenolt-bench-output-* >&2 2>/dev/null
        exit 1
    }
    cat "$scratch/samples-now" >>"$scratch/samples"
}
echo "Measuring Zenolt ZOM+, $rounds interleaved rounds..." >&2
time_pair "$rounds" \
    -- client_zom   "$bin/tcp_minimal_client" "$port" ZOM+ \
    -- zenolt_zom   "$bin/Zenolt" ZOM+
echo "Measuring ZenoltBatch of 1000 commands, $rounds interleaved rounds..." >&2
time_pair "$rounds" \
    -- client_1000  "$bin/tcp_minimal_client" "$port" -n 1000 ZOM+ ZOM- \
    -- batch_1000   "$bin/ZenoltBatch" "$scratch/batch-1000"
[ -n "${ZENOLT_BENCH_SAMPLES:-}" ] && cp "$scratch/samples" "$ZENOLT_BENCH_SAMPLES"

# The median of the ratios program / floor of the rounds, for each pair.
round_ratio() {  # NAME FLOOR_NAME
    awk -F'\t' -v a="$1" -v b="$2" '$2 == a { x[$1] = $3 } $2 == b { y[$1] = $3 }
        END { for (r in x) if (r in y) print x[r] / y[r] }' "$scratch/samples" | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
printf 'round:zenolt_zom\t%s\nround:batch_1000\t%s\n' "$(round_ratio zenolt_zom client_zom)" \
    "$(round_ratio batch_1000 client_1000)" >>"$scratch/times"

echo "Planetarium: $which"
awk -F'\t' -v rounds="$rounds" '
    { median[$1] = $2; fastest[$1] = $3 }
    function row(what, key, floorName, floorKey, aim,    inRound) {
        inRound = sprintf("%.2f", median["round:" key]) + 0  # held to the aim as printed
        printf "| %-26s | %7.2f | %-20s | %7.2f | %7.2f | %7.2f | %4.2f | %-4s | %7.2f | %7.2f | %5.2f |\n", what,
            median[key], floorName, median[floorKey], median[key] / median[floorKey], inRound, aim,
            (inRound <= aim ? "met" : "MISS"), fastest[key], fastest[floorKey], fastest[key] / fastest[floorKey]
    }
    END {
        printf "| %-26s | %7s | %-20s | %7s | %7s | %7s | %4s | %-4s | %7s | %7s | %5s |\n", rounds " rounds",
            "median", "floor", "median", "ratio", "ratio", "", "", "fastest", "fastest", ""
        printf "| %-26s | %7s | %-20s | %7s | %7s | %7s | %4s | %-4s | %7s | %7s | %5s |\n", "",
            "ms", "", "ms", "medians", "rounds", "aim", "", "ms", "floor", "ratio"
        print "|----------------------------|---------|----------------------|---------|---------|---------|------|------|---------|---------|-------|"
        row("Zenolt ZOM+", "zenolt_zom", "minimal client, ZOM+", "client_zom", 1.10)
        row("ZenoltBatch, 1000 commands", "batch_1000", "minimal client, 1000", "client_1000", 1.10)
        print ""
        print "ratio medians: median of the program over median of the floor; ratio rounds: median of"
        print "the ratios program / floor within each round, which the aim is held to."
    }' "$scratch/times"
