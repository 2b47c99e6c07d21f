#!/usr/bin/env bash
# A longer fuzzing run than the test command's smoke runs: each libFuzzer
# target for SECONDS (default 600), growing its corpus in the build tree.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-600}
cmake --preset host >/dev/null
cmake --build --preset host --target command_line_fuzz data_dump_fuzz script_reader_fuzz \
    server_reply_fuzz >/dev/null
for target in command_line_fuzz data_dump_fuzz script_reader_fuzz server_reply_fuzz; do
    inputs=tests/fuzz/${target%_fuzz}_inputs
    corpus=build/host/tests/fuzz/${target}_corpus
    mkdir -p "$corpus"
    echo "=== $target for $seconds s"
    mkdir -p build/host/fuzz-artifacts
    # A crash leaves its input in build/host/fuzz-artifacts/ and fails the script.
    build/host/"$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build/host/fuzz-artifacts/ "$corpus" "$inputs" 2>&1 |
        grep -E '^(stat::|Done|==[0-9]+==|SUMMARY|artifact_prefix)'
done
