#!/usr/bin/env bash
# Completes command lines with the bash completion of an unpacked package, as
# bash-completion loads it (by the program's name, from ROOT/usr/share), with
# the programs of ROOT/usr/bin against the stand-in's TCP server.
#   usage: completion_test.sh ROOT STAND_IN
set -uo pipefail
root=$1; stand_in=$2
scratch=$(mktemp -d)
trap 'touch "$scratch"/stop-*; sleep 0.3; rm -rf "$scratch"' EXIT
export HOME=$scratch PATH="$root/usr/bin:$PATH" XDG_DATA_DIRS="$root/usr/share"
mkdir -p "$scratch/.skychart/tmp" "$scratch/stars" && touch "$scratch/script.txt"
status=0

# Starts a stand-in publishing its port in HOME, with the given options.
start() {  # start NAME OPTION...
    local name=$1; shift
    "$stand_in" --tcp --log "$scratch/$name.log" --stop-file "$scratch/stop-$name" \
        --port-file "$scratch/.skychart/tmp/tcpport" --lifetime 60 "$@" &
    for _ in $(seq 100); do grep -q READY "$scratch/$name.log" 2>/dev/null && return; sleep 0.1; done
    echo "FAIL the stand-in did not start"; exit 1
}

# Checks the words offered for the end of a command line, and that nothing
# else was printed. Bash breaks its words at ':' too, and so does this.
expect() {  # expect "LINE" EXPECTED
    local got
    got=$(cd "$scratch" && bash -c 'source /usr/share/bash-completion/bash_completion
        COMP_LINE=$1 COMP_POINT=${#1}
        COMP_WORDS=($(sed "s/:/ : /g" <<<"$1")); [[ $1 == *[\ :] ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        __load_completion "${COMP_WORDS[0]}" || exit 1
        function=$(complete -p "${COMP_WORDS[0]}" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
        "$function"; echo "${COMPREPLY[*]}"' _ "$1" 2>&1)
    if [ "$got" = "$2" ]; then echo "ok [$1]"; else echo "FAIL [$1]: [$got], not [$2]"; status=1; fi
}

start planetarium
expect "Zenolt SE" "SEARCH SETFOV SETRA SETDEC SETOBS SETDATE"
connections=$(grep -c "^CONNECT" "$scratch/planetarium.log")
[ "$connections" = 1 ] || { echo "FAIL one Tab opened $connections connections"; status=1; }
while IFS='|' read -r line expected; do
    expect "$line" "$expected"
done <<'END'
Zenolt se|SEARCH SETFOV SETRA SETDEC SETOBS SETDATE
Zenolt O|OBSL
Zenolt ?|
Zenolt ZOM+ |
Zenolt SAVE scr|script.txt
Zenolt SAVEIMG scr|
Zenolt SAVEIMG PNG scr|script.txt
Zenolt PRINT PS PORTRAIT COLOR s|script.txt stars
Zenolt SETCAT s|stars
ZenoltBatch --ti|--timeout
ZenoltBatch --timeout |
ZenoltBatch --server localhost:|
ZenoltBatch --json scr|script.txt
ZenoltBatch script.txt -|
ZenoltBatch --d|
ZenoltWatch --c|--count
ZenoltWatch --f|--follow
ZenoltWatch --wait |
ZenoltBatch --wait 5 scr|script.txt
ZenoltWatch --now --json --s|--server
ZenoltWatch --server [::1]:3|
ZenoltWatch --d|
ZenoltDump |
ZenoltSession --id|--idle
ZenoltSession --start --idle |
ZenoltSession ZenoltS|ZenoltSession
ZenoltSession --server h -- sh scr|script.txt
END
touch "$scratch/stop-planetarium"; sleep 0.5
# No planetarium, or one that takes 3 s to list its commands: the words
# Cartes du Ciel 4.3 lists, within about a second.
expect "Zenolt ZOO" "ZOOM+ ZOOM- ZOOM+MOVE ZOOM-MOVE"
expect "Zenolt v" ""
start slow --delay-of '?' 3000
expect "Zenolt ZOO" "ZOOM+ ZOOM- ZOOM+MOVE ZOOM-MOVE"
# The program is run once per Tab, asked "?" without waiting for a
# planetarium and without a trace, whatever the user's environment says.
mkdir "$scratch/bin" && printf '#!/bin/sh\necho "$* ${ZENOLT_WAIT-} ${ZENOLT_TRACE-none}" >>"%s"\n' \
    "$scratch/runs" >"$scratch/bin/Zenolt" && chmod +x "$scratch/bin/Zenolt"
PATH="$scratch/bin:$PATH" ZENOLT_WAIT=60 ZENOLT_TRACE=1 expect "Zenolt ZOO" "ZOOM+ ZOOM- ZOOM+MOVE ZOOM-MOVE"
[ "$(cat "$scratch/runs")" = "? 0 none" ] || { echo "FAIL runs: $(cat "$scratch/runs")"; status=1; }
exit $status
