#!/usr/bin/env bash
# Measures the programs under Wine against floors measured in the same run:
# a do-nothing program (process start-up) and a minimal client making only
# the same DDE calls (the conversation itself; for a watch, a minimal client
# that writes each advised value). Times are medians of
# interleaved runs, timed from inside Wine; memory is the peak resident size
# of the process, from GNU time. Uses the 32-bit build where this machine can
# run it and the 64-bit build otherwise, and says which.
#   bash bench/run.sh [ROUNDS]      (default 31)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds=${1:-31}
source scripts/pick-build.sh
pick_windows_build Zenolt ZenoltDump ZenoltBatch ZenoltWatch StandInPlanetarium do_nothing \
    minimal_client bench_timer advise_latency

export ZENOLT_WINEPREFIX=${ZENOLT_WINEPREFIX:-$PWD/build/wineprefix}
source scripts/wine-env.sh
prepare_wine_prefix
loader=$(wine_loader_for "$bin/do_nothing.exe")
[ "$loader" = "$zenolt_wine64" ] && export WINELOADER=$zenolt_wine64
wine() { "${zenolt_fixed_layout[@]}" "$loader" "$@"; }
winpath() { wine64_tool winepath -w "$1" 2>/dev/null; }
winbin=$(winpath "$PWD/$bin")
scratch=$(mktemp -d)
stop_planetarium() { touch "$scratch/stop"; sleep 0.5; rm -f "$scratch/stop" "$scratch/log"; }
trap 'stop_planetarium; rm -rf "$scratch"' EXIT
start_planetarium() {  # with the stand-in's options "$@"
    wine "$bin/StandInPlanetarium.exe" --log "$(winpath "$scratch/log")" \
        --stop-file "$(winpath "$scratch/stop")" --lifetime 3600 "$@" &
    for _ in $(seq 100); do grep -q READY "$scratch/log" 2>/dev/null && break; sleep 0.1; done
}
# Median peak resident size in KiB of 7 runs of a program under Wine.
peak_kib() {
    for _ in 1 2 3 4 5 6 7; do
        /usr/bin/time -f %M "${zenolt_fixed_layout[@]}" "$loader" "$@" 2>&1 >/dev/null | tail -n 1
    done | sort -n | sed -n 4p
}
# A batch script of $1 commands, the ones the minimal client pokes, in file $2.
write_script() {
    awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++) printf "GOXY X:%d Y:%d\r\n", i, n - i }' >"$2"
}

# Items of 1 MiB and of 7 bytes, each text and its NUL.
head -c $((1024 * 1024 - 1)) /dev/zero | tr '\0' 'x' >"$scratch/item-1mib"
printf '\0' >>"$scratch/item-1mib"
printf 'ZOM+ok\0' >"$scratch/item-small"

# Each program is timed interleaved with its floor alone: a run can leave the
# machine, or the planetarium, busy for a while, and whatever runs next pays.
echo "Measuring $rounds interleaved rounds of each run..." >&2
wine "$bin/bench_timer.exe" "$rounds" \
    client_absent  "\"$winbin\\minimal_client.exe\" poke ZOM+" \
    zenolt_absent  "\"$winbin\\Zenolt.exe\" ZOM+" | tr -d '\r' | sed 's/^/A:/' >"$scratch/times"
wine "$bin/bench_timer.exe" "$rounds" \
    do_nothing     "\"$winbin\\do_nothing.exe\"" \
    zenolt_usage   "\"$winbin\\Zenolt.exe\"" | tr -d '\r' | sed 's/^/P:/' >>"$scratch/times"

start_planetarium --serve "$(winpath "$scratch/item-1mib")"
wine "$bin/bench_timer.exe" "$rounds" \
    client_request "\"$winbin\\minimal_client.exe\" request" \
    dump_1mib      "\"$winbin\\ZenoltDump.exe\"" | tr -d '\r' | sed 's/^/P:/' >>"$scratch/times"
echo "Measuring memory of the 1 MiB dump..." >&2
{
    echo "do_nothing $(peak_kib "$bin/do_nothing.exe")"
    echo "client_request $(peak_kib "$bin/minimal_client.exe" request)"
    echo "dump_1mib $(peak_kib "$bin/ZenoltDump.exe")"
} >"$scratch/memory"
stop_planetarium
# Replies of the small item: what a batch is timed for is its conversation,
# not the copying of a large one a thousand times.
start_planetarium --serve "$(winpath "$scratch/item-small")"
wine "$bin/bench_timer.exe" "$rounds" \
    client_poke    "\"$winbin\\minimal_client.exe\" poke ZOM+" \
    zenolt_poke    "\"$winbin\\Zenolt.exe\" ZOM+" | tr -d '\r' | sed 's/^/P:/' >>"$scratch/times"
echo "Measuring a batch of 1000 commands, $rounds rounds..." >&2
write_script 10 "$scratch/batch-10"
write_script 1000 "$scratch/batch-1000"
write_script 1000000 "$scratch/batch-1000000"
wine "$bin/bench_timer.exe" "$rounds" \
    client_1000    "\"$winbin\\minimal_client.exe\" pokes 1000" \
    batch_1000     "\"$winbin\\ZenoltBatch.exe\" \"$(winpath "$scratch/batch-1000")\"" |
    tr -d '\r' | sed 's/^/P:/' >>"$scratch/times"
wine "$bin/bench_timer.exe" "$rounds" \
    client_replies "\"$winbin\\minimal_client.exe\" replies 1000" \
    batch_replies  "\"$winbin\\ZenoltBatch.exe\" --replies \"$(winpath "$scratch/batch-1000")\"" |
    tr -d '\r' | sed 's/^/P:/' >>"$scratch/times"
echo "Measuring 100 separate Zenolt runs, 5 rounds..." >&2
wine "$bin/bench_timer.exe" 5 \
    "zenolt_100*100" "\"$winbin\\Zenolt.exe\" GOXY X:1 Y:999" | tr -d '\r' | sed 's/^/P:/' >>"$scratch/times"
echo "Measuring memory..." >&2
{
    echo "dump_small $(peak_kib "$bin/ZenoltDump.exe")"
    echo "batch_10 $(peak_kib "$bin/ZenoltBatch.exe" "$(winpath "$scratch/batch-10")")"
    echo "Measuring memory of a batch of 1,000,000 commands (one run, about 15 minutes)..." >&2
    echo "batch_1000000 $(/usr/bin/time -f %M "${zenolt_fixed_layout[@]}" "$loader" "$bin/ZenoltBatch.exe" \
        "$(winpath "$scratch/batch-1000000")" 2>&1 >"$scratch/batch-1000000.out" | tail -n 1)"
    stop_planetarium
    echo "Measuring memory of a watch of 100,000 records (one run, about two minutes)..." >&2
    start_planetarium --tick 1
    echo "watch_10 $(peak_kib "$bin/ZenoltWatch.exe" --count 10)"
    echo "watch_100000 $(/usr/bin/time -f %M "${zenolt_fixed_layout[@]}" "$loader" "$bin/ZenoltWatch.exe" --count 100000 \
        2>&1 >/dev/null | tail -n 1)"
    stop_planetarium
} >>"$scratch/memory"
echo "Measuring 1000 changes from poke to record..." >&2
start_planetarium --echo-pokes
wine "$bin/advise_latency.exe" 1000 \
    watch_change   "\"$winbin\\ZenoltWatch.exe\"" \
    listen_change  "\"$winbin\\minimal_client.exe\" listen" | tr -d '\r' | sed 's/^/L:/' >>"$scratch/times"

awk -F'\t' -v rounds="$rounds" '
    FILENAME ~ /times$/ { median[$1] = $2; p99[$1] = $3; next }
    { split($0, f, " "); peak[f[1]] = f[2] }
    function row(what, key, floorName, floorKey, aim,    ratio) {
        ratio = median[key] / median[floorKey]
        printf "| %-27s | %7.1f | %-17s | %7.1f | %5.2f | %4.2f | %-4s |\n", what, median[key],
            floorName, median[floorKey], ratio, aim, (ratio <= aim ? "met" : "MISS")
    }
    END {
        printf "| %-27s | %7s | %-17s | %7s | %5s | %4s | %-4s |\n", "run (median of " rounds ")", "ms", "floor", "ms", "ratio", "aim", ""
        print "|-----------------------------|---------|-------------------|---------|-------|------|------|"
        row("Zenolt ZOM+, acknowledged", "P:zenolt_poke", "2: minimal client", "P:client_poke", 1.10)
        row("Zenolt, no planetarium", "A:zenolt_absent", "2: minimal client", "A:client_absent", 1.10)
        row("ZenoltDump, 1 MiB item", "P:dump_1mib", "2: minimal client", "P:client_request", 1.10)
        row("Zenolt usage list", "P:zenolt_usage", "1: do-nothing", "P:do_nothing", 1.20)
        row("ZenoltBatch, 1000 commands", "P:batch_1000", "2: 1000 pokes", "P:client_1000", 1.10)
        row("  the same, --replies", "P:batch_replies", "2: 1000 pairs", "P:client_replies", 1.10)
        separate = median["P:zenolt_100"] * 10
        printf "| %-27s | %7.0f | %-17s | %7.1f | %5.1f | %4d | %-4s |\n", "1000 Zenolt runs (100 x 10)", separate,
            "ZenoltBatch 1000", median["P:batch_1000"], separate / median["P:batch_1000"], 50,
            (separate / median["P:batch_1000"] >= 50 ? "met" : "MISS")
        row("ZenoltWatch, poke to record", "L:watch_change", "3: minimal listener", "L:listen_change", 1.10)
        ratio = p99["L:watch_change"] / p99["L:listen_change"]
        printf "| %-27s | %7.1f | %-17s | %7.1f | %5.2f | %4.2f | %-4s |\n", "  the same, 99th percentile", p99["L:watch_change"],
            "3: minimal listener", p99["L:listen_change"], ratio, 1.10, (ratio <= 1.10 ? "met" : "MISS")
        print ""
        print "| peak resident size (median of 7) | KiB |"
        print "|---|---|"
        printf "| do-nothing program | %d |\n| minimal client, 1 MiB request | %d |\n", peak["do_nothing"], peak["client_request"]
        printf "| ZenoltDump, 7-byte item | %d |\n| ZenoltDump, 1 MiB item | %d |\n", peak["dump_small"], peak["dump_1mib"]
        printf "| ZenoltBatch, 10 lines | %d |\n| ZenoltBatch, 1,000,000 lines (one run) | %d |\n", peak["batch_10"], peak["batch_1000000"]
        printf "| ZenoltWatch, 10 records | %d |\n| ZenoltWatch, 100,000 records (one run) | %d |\n", peak["watch_10"], peak["watch_100000"]
        over = peak["dump_1mib"] - peak["do_nothing"]; item = peak["dump_1mib"] - peak["dump_small"]
        print ""
        printf "ZenoltDump of 1 MiB over the do-nothing program: %d KiB (%.2f times the item; aim 2.00: %s)\n", over, over / 1024, (over <= 2048 ? "met" : "MISS")
        printf "of which the item itself (1 MiB dump over 7-byte dump): %d KiB (%.2f times the item: %s)\n", item, item / 1024, (item <= 2048 ? "met" : "MISS")
        printf "and the DDE library (minimal client over do-nothing): %d KiB\n", peak["client_request"] - peak["do_nothing"]
        growth = peak["batch_1000000"] / peak["batch_10"]
        printf "ZenoltBatch, 1,000,000 lines over 10 lines: %.3f times (aim 1.10: %s)\n", growth, (growth <= 1.10 ? "met" : "MISS")
        growth = peak["watch_100000"] / peak["watch_10"]
        printf "ZenoltWatch, 100,000 records over 10 records: %.3f times (aim 1.10: %s)\n", growth, (growth <= 1.10 ? "met" : "MISS")
    }' "$scratch/times" "$scratch/memory"
