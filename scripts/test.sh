#!/usr/bin/env bash
# Configures, builds and tests every preset: the Linux host build with
# sanitizers, the 32-bit and 64-bit Windows builds under Wine, and the Linux
# programs against the stand-in and the real planetarium. Ends with one
# summary line per preset; exits non-zero only when something failed.
# Tests that need 32-bit programs are skipped (and counted as skipped) on a
# machine that cannot run them, or with ZENOLT_NO_WIN32=1.
#
# The work runs in lanes, so that on two cores the compiles fill the time
# the tests spend waiting on Wine, processes and the planetarium:
#   builds       windows, windows-x64, linux, one after another (each at
#                -j2), what real_planetarium needs; then, once the
#                planetarium is built, host and the host tests;
#   Wine         each Windows preset's tests as soon as it is built, then the
#                linux preset's real_planetarium test: everything that runs
#                in the Wine prefix build/wineprefix, one at a time, since
#                tests in one prefix share its DDE service name and its
#                registry;
#   Linux        the linux preset's other tests, once it and the
#                planetarium are built;
#   planetarium  the real planetarium's build.sh (packages, then a compile
#                of a few minutes on a new machine; nothing when its cache is
#                current), from the start, so that real_planetarium, whose
#                own call of build.sh then finds it done, need not wait.
# Each lane's output goes to build/<preset>-workflow.log (configure, build
# and tests, with each test's time) and build/planetarium-build.log; what
# each step took is in build/test-steps.txt. The logs are printed whole at
# the end, before the summary.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mkdir -p build
root=$PWD
steps=build/test-steps.txt   # one line per finished step: preset, step, seconds, status
marks=build/test-marks       # a file per finished step, holding its status
rm -rf "$marks"
mkdir -p "$marks"
: >"$steps"
start=$(date +%s)
presets=(host windows windows-x64 linux)
for preset in "${presets[@]}"; do : >"build/$preset-workflow.log"; done

# Prints the summary line of one preset from its workflow's output.
summarise() {
    local preset=$1 log=$2 workflow_status=$3 results passed failed skipped reason=""
    results=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$log")
    if [ -z "$results" ]; then
        echo "$preset: FAILED before any test ran (configure or build; see above)"
        return
    fi
    passed=$(grep -cE ' Passed +[0-9.]+ sec$' <<<"$results")
    skipped=$(grep -cE '\*\*\*(Skipped|Not Run)' <<<"$results")
    failed=$(($(wc -l <<<"$results") - passed - skipped))
    if [ "$skipped" -gt 0 ] && [ -f "build/$preset/wine-capability.txt" ]; then
        reason=" ($(sed -n 's/^skips: //p' "build/$preset/wine-capability.txt"))"
    fi
    [ "$workflow_status" -ne 0 ] && [ "$failed" -eq 0 ] && failed="0 (but the workflow failed)"
    echo "$preset: $passed passed, $failed failed, $skipped skipped$reason"
}

# Runs one step of a preset (the command after the two names), its output
# appended to the preset's log; records how long it took and its status, in
# build/test-steps.txt, on the console and as the mark build/test-marks/
# PRESET.STEP that other lanes wait for. Returns the command's status.
step() {
    local preset=$1 name=$2 began status
    shift 2
    began=$(date +%s)
    "$@" >>"build/$preset-workflow.log" 2>&1
    status=$?
    echo "$preset $name $(($(date +%s) - began)) $status" >>"$steps"
    echo "[$(($(date +%s) - start)) s] $preset: $name done in $(($(date +%s) - began)) s (status $status)"
    echo "$status" >"$marks/$preset.$name"
    return "$status"
}

# Waits until the step PRESET.STEP has finished; returns its status.
await() {
    until [ -f "$marks/$1" ]; do sleep 1; done
    return "$(cat "$marks/$1")"
}

# Configures and builds one preset.
build_preset() {
    step "$1" configure cmake --preset "$1" && step "$1" build cmake --build --preset "$1"
    local status=$?
    # Written also when the configure failed, so that no lane waits forever.
    [ -f "$marks/$1.build" ] || echo "$status" >"$marks/$1.build"
}

# The lane of everything that runs under Wine in build/wineprefix.
wine_lane() {
    local preset
    for preset in windows windows-x64; do
        await "$preset.build" && step "$preset" test ctest --preset "$preset"
    done
    # A planetarium that could not be built makes real_planetarium say so
    # (its own build.sh fails again) and report itself skipped.
    await linux.build || return
    await planetarium.build
    step linux real ctest --preset linux -L real
}

# The real planetarium's build, as real_planetarium would run it (the same
# folder, the same SKYCHART_PREFIX); without it, real_planetarium says why
# it is skipped.
planetarium=${ZENOLT_PLANETARIUM_DIR:-$(cd .. && pwd -P)/shared/planetarium}
build_planetarium() {
    local began status=0
    began=$(date +%s)
    if [ -f "$planetarium/build.sh" ]; then
        bash "$planetarium/build.sh" >build/planetarium-build.log 2>&1
        status=$?
    fi
    echo "planetarium build $(($(date +%s) - began)) $status" >>"$steps"
    echo "[$(($(date +%s) - start)) s] planetarium: build done in $(($(date +%s) - began)) s (status $status)"
    echo "$status" >"$marks/planetarium.build"
}

# The background lanes run in process groups of their own (set -m), which an
# interruption ends whole; the planetarium's build is left to finish (it may
# be installing packages), and nothing else is started after it.
lanes=()
interrupted() {
    local pid
    for pid in "${lanes[@]}"; do kill -TERM -- "-$pid" 2>/dev/null; done
    WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null
    echo "interrupted" >&2
    exit 130
}
trap interrupted INT TERM HUP

set -m
build_planetarium &
planetarium_pid=$!
wine_lane &
lanes+=($!)
set +m

build_preset windows
build_preset windows-x64
build_preset linux
# What real_planetarium needs is built; the rest waits for the planetarium's
# build, whose compile runs at the lowest priority and would otherwise get
# no processor time until everything else is done, with real_planetarium
# waiting for it.
await planetarium.build
if await linux.build; then
    set -m
    step linux test ctest --preset linux -LE real &
    lanes+=($!)
    set +m
fi
build_preset host && step host test ctest --preset host

wait "${lanes[@]}"
wait "$planetarium_pid"
# The Wine server of the project's prefix would otherwise linger a minute.
WINEPREFIX="$PWD/build/wineprefix" wineserver -k 2>/dev/null || true

status=0
summaries=()
for preset in "${presets[@]}"; do
    echo "=== $preset"
    cat "build/$preset-workflow.log"
    preset_status=0
    while read -r _ _ _ step_status; do
        [ "$step_status" -eq 0 ] || preset_status=1
    done < <(grep "^$preset " "$steps")
    # A step that never ran (its build failed) counts as a failure.
    for name in configure build test; do
        [ -f "$marks/$preset.$name" ] || preset_status=1
    done
    [ "$preset" != linux ] || [ -f "$marks/linux.real" ] || preset_status=1
    [ "$preset_status" -eq 0 ] || status=1
    summaries+=("$(summarise "$preset" "build/$preset-workflow.log" "$preset_status")")
done
echo "=== planetarium build (for real_planetarium)"
cat build/planetarium-build.log 2>/dev/null

echo
echo "=== steps (seconds)"
column -t "$steps" 2>/dev/null || cat "$steps"
echo "total $(($(date +%s) - start)) s"
echo
echo "=== summary"
printf '%s\n' "${summaries[@]}"
if [ "$status" -eq 0 ]; then
    echo "all presets passed"
else
    echo "FAILED"
fi
exit $status
