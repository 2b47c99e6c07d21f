#!/usr/bin/env bash
# Shows the programs at work on Linux: builds the Windows programs (32-bit,
# or 64-bit where this machine cannot run 32-bit programs), starts the
# stand-in planetarium under Wine, sends it a few commands, prints what it
# received and dumps the data item it serves.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/pick-build.sh
pick_windows_build Zenolt ZenoltDump StandInPlanetarium 2>&1
run() { scripts/wine-run.sh "$@"; }

scratch=$(mktemp -d)
trap 'touch "$scratch/stop"; sleep 0.3; rm -rf "$scratch"' EXIT
printf 'RA: 00h42m44.33s DEC:+41d16m07.5s FOV:+01d00m00s\0' >"$scratch/item"
run "$bin/StandInPlanetarium.exe" --log "Z:$scratch/planetarium.log" --stop-file "Z:$scratch/stop" \
    --serve "Z:$scratch/item" &
for _ in $(seq 100); do grep -q READY "$scratch/planetarium.log" 2>/dev/null && break; sleep 0.1; done

show() { echo "\$ Zenolt $*"; run "$bin/Zenolt.exe" "$@" 2>&1; echo "  (exit status $?)"; }
show ZOM+
show GOXY X:100 Y:200
show FIND CAT: M ID: 31

echo
echo "The stand-in planetarium logged:"
sed 's/^/  /' "$scratch/planetarium.log"

echo
echo "\$ ZenoltDump"
run "$bin/ZenoltDump.exe" 2>&1
echo
echo "  (exit status $?)"

touch "$scratch/stop"; sleep 0.3
echo
echo "\$ Zenolt ZOM+    (with no planetarium running)"
run "$bin/Zenolt.exe" ZOM+ 2>&1 || echo "  (exit status $?)"
