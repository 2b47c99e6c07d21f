#!/usr/bin/env bash
# Configures, builds and tests every preset: the Linux host build with
# sanitizers, then the 32-bit and 64-bit Windows builds under Wine. Ends with
# one summary line per preset; exits non-zero only when something failed.
# Tests that need 32-bit programs are skipped (and counted as skipped) on a
# machine that cannot run them, or with ZENOLT_NO_WIN32=1.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mkdir -p build

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

status=0
summaries=()
for preset in host windows windows-x64 linux; do
    echo "=== $preset"
    log="build/$preset-workflow.log"
    cmake --workflow --preset "$preset" 2>&1 | tee "$log"
    preset_status=${PIPESTATUS[0]}
    [ "$preset_status" -eq 0 ] || status=1
    summaries+=("$(summarise "$preset" "$log" "$preset_status")")
done
# The Wine server of the project's prefix would otherwise linger a minute.
WINEPREFIX="$PWD/build/wineprefix" wineserver -k 2>/dev/null || true

echo
echo "=== summary"
printf '%s\n' "${summaries[@]}"
if [ "$status" -eq 0 ]; then
    echo "all presets passed"
else
    echo "FAILED"
fi
exit $status
