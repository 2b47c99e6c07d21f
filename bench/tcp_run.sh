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
# ZENOLT_BENCH_BUILD_DIR=DIR builds into DIR (configured as a Release build)
# instead of the linux preset's folder, so that a benchmark can run while
# another build uses that one.
# Events (ZenoltWatch against a listener of the benchmark's own, both
# connected at once, each event timed for both) are timed on the stand-in,
# 1000 of them; a SEARCH takes about 0.6 s on the real planetarium, so there
# ZENOLT_BENCH_REAL_EVENTS (default 100) more are timed as well. The peak
# memory of ZenoltWatch over 100,000 events against 10 is measured on a
# stand-in pushing an event every millisecond (about two minutes).
#   bash bench/tcp_run.sh [ROUNDS]      (default 31)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds=${1:-31}
targets="Zenolt ZenoltBatch ZenoltDump ZenoltWatch StandInPlanetarium tcp_minimal_client
    tcp_minimal_listener tcp_timer tcp_event_latency tcp_peak_memory"
if [ -n "${ZENOLT_BENCH_BUILD_DIR:-}" ]; then
    bin=$(mkdir -p "$ZENOLT_BENCH_BUILD_DIR" && cd "$ZENOLT_BENCH_BUILD_DIR" && pwd -P)
    cmake -S . -B "$bin" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$bin" -j"$(nproc)" --target $targets >/dev/null
else
    cmake --preset linux >/dev/null
    # shellcheck disable=SC2086
    cmake --build --preset linux --target $targets >/dev/null
    bin=$PWD/build/linux
fi
real_events=${ZENOLT_BENCH_REAL_EVENTS:-100}
planetarium=${ZENOLT_PLANETARIUM_DIR:-$(cd .. && pwd -P)/shared/planetarium}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zenolt-tcp-bench.XXXXXX")
sky_pid="" stand_in_pids=""
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
    touch "$scratch/stop"
    for pid in $stand_in_pids; do
        for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Starts a stand-in publishing its port in HOME's port file; its extra
# options follow. Sets stand_in_port.
start_stand_in() {  # NAME HOME [OPTION]...
    local name=$1 home_of=$2
    shift 2
    mkdir -p "$home_of/.skychart/tmp"
    "$bin/StandInPlanetarium" --tcp --log "$scratch/$name.log" --port-file "$home_of/.skychart/tmp/tcpport" \
        --stop-file "$scratch/stop" --lifetime 3600 "$@" &
    stand_in_pids="$stand_in_pids $!"
    for _ in $(seq 100); do grep -q READY "$scratch/$name.log" 2>/dev/null && break; sleep 0.1; done
    stand_in_port=$(sed -n 's/^READY port=//p' "$scratch/$name.log")
    [ -n "$stand_in_port" ] || { echo "the stand-in did not start" >&2; exit 1; }
}

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
    start_stand_in main "$home"
    port=$stand_in_port
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
echo "Measuring ZenoltDump against six getters, $rounds interleaved rounds..." >&2
time_pair "$rounds" \
    -- client_dump  "$bin/tcp_minimal_client" "$port" GETRA GETDEC GETFOV GETSELECTEDOBJECT GETDATE GETOBS \
    -- zenolt_dump  "$bin/ZenoltDump"
[ -n "${ZENOLT_BENCH_SAMPLES:-}" ] && cp "$scratch/samples" "$ZENOLT_BENCH_SAMPLES"

# Events: ZenoltWatch and the listener floor side by side, each event timed
# for both. KEY gets its rows in the events table.
time_events() {  # KEY HOME PORT EVENTS PLANETARIUM
    echo "Timing $4 events ($1)..." >&2
    HOME=$2 TMPDIR=$scratch "$bin/tcp_event_latency" "$3" "$4" M31 M42 \
        -- record watch "$bin/ZenoltWatch" -- line listener "$bin/tcp_minimal_listener" "$3" \
        >"$scratch/events-$1" || {
        echo "what the watcher wrote:" >&2
        cat "$scratch"/zenolt-bench-watcher-* >&2 2>/dev/null
        exit 1
    }
    awk -F'\t' -v key="$1" -v n="$4" -v who="$5" '{ v[$1] = $2; p[$1] = $3 }
        END { printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", key, n, who, v["watch"], p["watch"],
              v["listener"], p["listener"], v["ratio"] }' "$scratch/events-$1" >>"$scratch/events"
}
: >"$scratch/events"
if [ -n "$sky_pid" ]; then
    time_events real "$home" "$port" "$real_events" "real planetarium"
    start_stand_in events "$scratch/events-home"
    time_events stand_in "$scratch/events-home" "$stand_in_port" 1000 "stand-in"
else
    time_events stand_in "$home" "$port" 1000 "stand-in"
fi

# Peak memory of a long watch against a short one, events pushed every millisecond.
echo "Measuring ZenoltWatch's peak memory over 100000 events and over 10..." >&2
start_stand_in memory "$scratch/memory-home" --events-every 1
memory_port=$stand_in_port
peak_of() {  # EVENTS
    "$bin/tcp_peak_memory" "$bin/ZenoltWatch" --count "$1" --server "127.0.0.1:$memory_port" ||
        { echo "ZenoltWatch --count $1 failed" >&2; exit 1; }
}
peak_short=$(peak_of 10)
peak_long=$(peak_of 100000)

# The median of the ratios program / floor of the rounds, for each pair.
round_ratio() {  # NAME FLOOR_NAME
    awk -F'\t' -v a="$1" -v b="$2" '$2 == a { x[$1] = $3 } $2 == b { y[$1] = $3 }
        END { for (r in x) if (r in y) print x[r] / y[r] }' "$scratch/samples" | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
printf 'round:zenolt_zom\t%s\nround:batch_1000\t%s\nround:zenolt_dump\t%s\n' \
    "$(round_ratio zenolt_zom client_zom)" "$(round_ratio batch_1000 client_1000)" \
    "$(round_ratio zenolt_dump client_dump)" >>"$scratch/times"

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
        row("ZenoltDump, six getters", "zenolt_dump", "minimal client, six", "client_dump", 1.10)
        print ""
        print "ratio medians: median of the program over median of the floor; ratio rounds: median of"
        print "the ratios program / floor within each round, which the aim is held to."
    }' "$scratch/times"

echo
awk -F'\t' '
    function met(r) { return sprintf("%.2f", r) + 0 <= 1.10 }
    BEGIN {
        printf "| %-42s | %7s | %7s | %-22s | %7s | %7s | %7s | %7s | %7s | %4s | %-4s |\n", "SEARCH to record on a pipe",
            "median", "99th", "floor", "median", "99th", "ratio", "ratio", "ratio", "", ""
        printf "| %-42s | %7s | %7s | %-22s | %7s | %7s | %7s | %7s | %7s | %4s | %-4s |\n", "",
            "ms", "ms", "", "ms", "ms", "medians", "99th", "events", "aim", ""
        print "|--------------------------------------------|---------|---------|------------------------|---------|---------|---------|---------|---------|------|------|"
    }
    {
        rm = $4 / $6; rp = $5 / $7
        printf "| %-42s | %7.2f | %7.2f | %-22s | %7.2f | %7.2f | %7.2f | %7.2f | %7.2f | %4.2f | %-4s |\n",
            "ZenoltWatch, " $2 " events, " $3, $4, $5, "minimal listener", $6, $7, rm, rp, $8, 1.10,
            (met(rm) && met(rp) ? "met" : "MISS")
    }
    END {
        print ""
        print "Both connected at once, every event timed for both; half the events with the watch connected"
        print "first, half with the listener first. ratio events: median of the per-event ratios. The aim is"
        print "held to the ratio of the medians and to that of the 99th percentiles."
    }' "$scratch/events"
echo
ratio=$(awk -v a="$peak_long" -v b="$peak_short" 'BEGIN { printf "%.2f", a / b }')
printf '| %-42s | %9s | %-26s | %9s | %5s | %4s | %-4s |\n' "peak resident size (stand-in)" "KiB" "against" "KiB" "ratio" "aim" ""
echo "|--------------------------------------------|-----------|----------------------------|-----------|-------|------|------|"
printf '| %-42s | %9d | %-26s | %9d | %5.2f | %4.2f | %-4s |\n' "ZenoltWatch, 100000 events" "$peak_long" \
    "ZenoltWatch, 10 events" "$peak_short" "$ratio" 1.10 \
    "$(awk -v r="$ratio" 'BEGIN { print (r + 0 <= 1.10 ? "met" : "MISS") }')"
