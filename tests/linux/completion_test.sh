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
mkdir -p "$scratch/.skychart/tmp" && touch "$scratch/script.txt"
status=0

# Starts a stand-in publishing its port in HOME, with the given options.
start() {  # start NAME OPTION...
    local name=$1; shift
    "$stand_in" --tcp --log "$scratch/$name.log" --stop-file "$scratch/stop-$name" \
        --port-file "$scratch/.skychart/tmp/tcpport" --lifetime 60 "$@" &
    for _ in $(seq 100); do grep -q READY "$scratch/$name.log" 2>/dev/null && return; sleep 0.1; done
    echo "FAIL the stand-in did not start"; exit 1
}

# Checks the words offered for the last word of a command line.
expect() {  # expect "WORD..." EXPECTED
    local got
    got=$(cd "$scratch" && bash -c 'source /usr/share/bash-completion/bash_completion
        COMP_WORDS=($1); [[ $1 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        __load_completion "${COMP_WORDS[0]}" || exit 1
        function=$(complete -p "${COMP_WORDS[0]}" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
        "$function" && echo "${COMPREPLY[*]}"' _ "$1")
    if [ "$got" = "$2" ]; then echo "ok [$1]"; else echo "FAIL [$1]: [$got], not [$2]"; status=1; fi
}

start planetarium
expect "Zenolt SE" "SEARCH SETFOV SETRA SETDEC SETOBS SETDATE"
expect "Zenolt ZOM+ " ""
expect "ZenoltBatch --ti" "--timeout"
expect "ZenoltBatch --timeout " ""
expect "ZenoltBatch --json scr" "script.txt"
expect "ZenoltWatch --c" "--count"
expect "ZenoltWatch --now --json --s" "--server"
expect "ZenoltDump " ""
expect "ZenoltSession --id" "--idle"
expect "ZenoltSession --start --idle " ""
expect "ZenoltSession ZenoltS" "ZenoltSession"
expect "ZenoltSession --server h sh scr" "script.txt"
touch "$scratch/stop-planetarium"; sleep 0.5
# No planetarium, or one that takes 3 s to list its commands: the usage
# list's words, within about a second.
expect "Zenolt S" "SBMP SGIF SJPG STA+ STA- SAVE"
start slow --delay-of '?' 3000
expect "Zenolt S" "SBMP SGIF SJPG STA+ STA- SAVE"
exit $status
