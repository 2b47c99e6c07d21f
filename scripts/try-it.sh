#!/usr/bin/env bash
# Shows the programs at work on Linux: builds the Windows programs (32-bit,
# or 64-bit where this machine cannot run 32-bit programs), starts the
# stand-in planetarium under Wine, sends it a few commands, prints what it
# received and dumps the data item it serves.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/pick-build.sh
pick_windows_build Zenolt ZenoltDump ZenoltBatch ZenoltWatch StandInPlanetarium 2>&1
run() { scripts/wine-run.sh "$@"; }

scratch=$(mktemp -d)
trap 'touch "$scratch/stop" "$scratch/stop-echo"; sleep 0.3; rm -rf "$scratch"' EXIT
printf 'RA: 00h42m44.33s DEC:+41d16m07.5s FOV:+01d00m00s\0' >"$scratch/item"
run "$bin/StandInPlanetarium.exe" --log "Z:$scratch/planetarium.log" --stop-file "Z:$scratch/stop" \
    --serve "Z:$scratch/item" --refuse-poke-of "WARP 9" &
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

echo
printf '# a short tour\r\nZOM-\r\n\r\n  GOXY X:320 Y:240\r\nWARP 9\r\nZOM+\r\n' >"$scratch/tour.txt"
echo "\$ cat tour.txt"
sed 's/^/  /' "$scratch/tour.txt" | tr -d '\r'
logged=$(wc -l <"$scratch/planetarium.log")
echo "\$ ZenoltBatch tour.txt      (the stand-in refuses WARP 9, as the planetarium would an unknown command)"
run "$bin/ZenoltBatch.exe" "Z:$scratch/tour.txt" 2>&1 | tr -d '\r' || echo "  (exit status ${PIPESTATUS[0]})"
echo "The stand-in planetarium logged:"
tail -n +$((logged + 1)) "$scratch/planetarium.log" | sed 's/^/  /'

touch "$scratch/stop"; sleep 0.3
echo
echo "Now a stand-in that, like the planetarium, changes its item after each command."
run "$bin/StandInPlanetarium.exe" --log "Z:$scratch/echo.log" --stop-file "Z:$scratch/stop-echo" \
    --echo-pokes &
for _ in $(seq 100); do grep -q READY "$scratch/echo.log" 2>/dev/null && break; sleep 0.1; done
echo "\$ ZenoltWatch --count 3 --timeout 20000      (in the background, while Zenolt sends ZOM+, ZOM- and CONB)"
run "$bin/ZenoltWatch.exe" --count 3 --timeout 20000 >"$scratch/watch.out" 2>&1 &
watch_pid=$!
for _ in $(seq 100); do grep -q ADVSTART "$scratch/echo.log" 2>/dev/null && break; sleep 0.1; done
for command in ZOM+ ZOM- CONB; do run "$bin/Zenolt.exe" "$command"; done
wait "$watch_pid" && watch_status=0 || watch_status=$?
tr -d '\r' <"$scratch/watch.out" | sed 's/^/  /'
echo "  (exit status $watch_status)"
echo "\$ ZenoltWatch --now --json --count 1"
run "$bin/ZenoltWatch.exe" --now --json --count 1 2>&1 | tr -d '\r' | sed 's/^/  /'
touch "$scratch/stop-echo"; sleep 0.3

echo
echo "\$ Zenolt ZOM+    (with no planetarium running)"
run "$bin/Zenolt.exe" ZOM+ 2>&1 || echo "  (exit status $?)"

echo
echo "Today's Cartes du Ciel has no DDE server: it listens on TCP and publishes"
echo "its port. The Linux programs, against the stand-in's TCP server:"
cmake --preset linux >/dev/null
cmake --build --preset linux --target Zenolt ZenoltDump ZenoltWatch StandInPlanetarium >/dev/null
home=$scratch/home
mkdir -p "$home/.skychart/tmp"
build/linux/StandInPlanetarium --tcp --log "$scratch/tcp.log" --stop-file "$scratch/stop-tcp" \
    --port-file "$home/.skychart/tmp/tcpport" &
for _ in $(seq 100); do grep -q READY "$scratch/tcp.log" 2>/dev/null && break; sleep 0.1; done
echo "\$ Zenolt GETRA"
HOME=$home build/linux/Zenolt GETRA | sed 's/^/  /'
echo "\$ ZenoltWatch --count 1 --timeout 20000      (in the background, while Zenolt sends SEARCH M31)"
HOME=$home build/linux/ZenoltWatch --count 1 --timeout 20000 >"$scratch/tcp-watch.out" 2>&1 &
watch_pid=$!
for _ in $(seq 100); do [ "$(grep -c CONNECT "$scratch/tcp.log")" -ge 2 ] && break; sleep 0.1; done
HOME=$home build/linux/Zenolt SEARCH M31
wait "$watch_pid" && watch_status=0 || watch_status=$?
tr -d '\r' <"$scratch/tcp-watch.out" | sed 's/^/  /'
echo "  (exit status $watch_status)"
echo "\$ ZenoltDump      (the state, laid out as the DDE item was)"
HOME=$home build/linux/ZenoltDump | tr -d '\r' | sed 's/^/  /'
echo
touch "$scratch/stop-tcp"; sleep 0.3
