# Sourced by real_planetarium_test.sh: ZenoltSession and the Linux programs
# against the real planetarium it runs ($rundir, $port), while it runs, and
# against a second one of these cases' own, restarted during a session.
#
# A program that talks through a session is run with HOME where nothing is
# published but 0 (a direct run says "not running" there), so that its
# answer shows it went through the session, whose own HOME finds the
# planetarium. Uses the script's run, status_of, holds, shown, pass, fail
# and skip; adds its verdicts to the script's counts.

# Runs the cases in a subshell that stops what it started whatever way it
# ends (its sessions, its planetarium, the folder another user reads).
session_cases() {
    (
        trap session_cleanup EXIT
        trap 'exit 130' INT
        trap 'exit 143' TERM
        trap 'exit 129' HUP
        session_cases_run
    ) >"$scratch/session.log"
    cat "$scratch/session.log"
    passed=$((passed + $(grep -c '^ok ' "$scratch/session.log")))
    failed=$((failed + $(grep -c '^FAIL ' "$scratch/session.log")))
    skipped=$((skipped + $(grep -c '^skip ' "$scratch/session.log")))
}

session_cleanup() {
    local name pid
    for name in $(cat "$scratch/sessions" 2>/dev/null); do
        ZENOLT_SESSION=$name timeout 10 "$linux_dir/ZenoltSession" --stop >/dev/null 2>&1
    done
    [ ! -s "$scratch/other.sessions" ] || (cd / && ZENOLT_SESSION=$(cat "$scratch/other.sessions") \
        timeout 10 setpriv --reuid=65534 --regid=65534 --clear-groups "$linux_dir/ZenoltSession" --stop) >/dev/null 2>&1
    wait "$own_start" 2>/dev/null
    pid=$(cat "$own/skychart.pid" 2>/dev/null)
    [ -z "$pid" ] || SKYCHART_RUNDIR=$own bash "$planetarium/stop.sh" "$pid" >/dev/null 2>&1
    rm -rf "$own" "$other"
}

# Starts a session in the background with HOME $1 (more arguments: its
# options) and prints its name; remembered for the clean-up.
session_start() {
    local home=$1 name
    shift
    name=$(HOME=$home "$linux_dir/ZenoltSession" --start "$@" |
        sed -n "s/^ZENOLT_SESSION='\(.*\)'; export ZENOLT_SESSION$/\1/p")
    [ -n "$name" ] && echo "$name" >>"$scratch/sessions" && echo "$name"
}

# Succeeds when runs $1 and $2 wrote the same bytes and ended alike;
# otherwise adds to $why how they differ.
same_runs() {
    local was=$why
    [ "$(status_of "$1")" = "$(status_of "$2")" ] || why="${why}$2: status $(status_of "$2"), directly $(status_of "$1"); "
    cmp -s "$scratch/$1.out" "$scratch/$2.out" || why="${why}$2: standard output $(shown "$scratch/$2.out"), directly $(shown "$scratch/$1.out"); "
    cmp -s "$scratch/$1.err" "$scratch/$2.err" || why="${why}$2: standard error $(shown "$scratch/$2.err"), directly $(shown "$scratch/$1.err"); "
    [ "$why" = "$was" ]
}

session_cases_run() {
    local zenolt=$linux_dir/Zenolt session=$linux_dir/ZenoltSession home=$rundir/home
    local home0=$scratch/session-home0 name why k stale
    local -a words
    own=$(mktemp -d /tmp/skychart-run.XXXXXX) other=""
    mkdir -p "$home0/.skychart/tmp"
    printf 0 >"$home0/.skychart/tmp/tcpport"
    # The planetarium to restart comes up (10 to 40 s) while the others run.
    SKYCHART_RUNDIR=$own bash "$planetarium/start.sh" 0 >"$scratch/own.pid" 2>"$scratch/own-start.log" &
    own_start=$!

    # A loop of 100 calls from a shell in a session, each through it.
    run s_loop env HOME="$home" "$session" /bin/sh -c \
        'HOME=$1; i=0; while [ $i -lt 100 ]; do "$2" GETRA || exit; i=$((i + 1)); done' _ "$home0" "$zenolt"
    if [ "$(status_of s_loop)" = 0 ] && [ ! -s "$scratch/s_loop.err" ] && [ "$(wc -l <"$scratch/s_loop.out")" = 100 ] &&
        ! grep -qvxE '[0-9]{2}h[0-9]{2}m[0-9]{2}(\.[0-9]+)?s' "$scratch/s_loop.out"; then
        pass "session: 100 Zenolt GETRA from a shell loop, each through the session"
    else
        fail "session: 100 Zenolt GETRA from a shell loop" "status $(status_of s_loop), standard output $(shown "$scratch/s_loop.out"), standard error $(shown "$scratch/s_loop.err")"
    fi

    # The same bytes and status as direct runs.
    name=$(session_start "$home" --idle 120) || { fail "session started" "no name printed"; return; }
    printf 'GETRA\nWARP 9\n?\nGETFOV F\n' >"$scratch/s_script"
    local -a commands=("Zenolt GETRA" "Zenolt WARP 9" "Zenolt ?" "Zenolt GETFOV F" "Zenolt SEARCH M31"
        "Zenolt GETSELECTEDOBJECT" "ZenoltDump" "ZenoltBatch $scratch/s_script"
        "ZenoltBatch --json --replies $scratch/s_script")
    for k in "${!commands[@]}"; do
        read -r -a words <<<"${commands[$k]}"
        HOME=$home run "s_direct$k" "$linux_dir/${words[0]}" "${words[@]:1}"
        HOME=$home0 ZENOLT_SESSION=$name run "s_session$k" "$linux_dir/${words[0]}" "${words[@]:1}"
        if [ "${words[0]}" = ZenoltDump ]; then   # its first line is the time it asked
            sed -i 1d "$scratch/s_direct$k.out" "$scratch/s_session$k.out"
        fi
        why=""
        if same_runs "s_direct$k" "s_session$k"; then pass "session: ${commands[$k]} the same as directly"; else fail "session: ${commands[$k]} the same as directly" "${why%; }"; fi
    done

    # Four loops side by side, each getting only its own answers.
    local -a getters=(GETRA GETDEC GETFOV GETDATE)
    for k in 0 1 2 3; do
        HOME=$home run "s_own$k" "$zenolt" "${getters[$k]}"
        HOME=$home0 ZENOLT_SESSION=$name start "s_side$k" /bin/sh -c \
            'HOME=$1; i=0; while [ $i -lt 25 ]; do "$2" "$3" || exit; i=$((i + 1)); done' _ "$home0" "$zenolt" "${getters[$k]}"
    done
    why=""
    for k in 0 1 2 3; do
        finish "s_side$k"
        [ "$(status_of "s_side$k")" = 0 ] && [ "$(sort -u "$scratch/s_side$k.out")" = "$(cat "$scratch/s_own$k.out")" ] &&
            [ "$(wc -l <"$scratch/s_side$k.out")" = 25 ] ||
            why="${why}${getters[$k]} loop: status $(status_of "s_side$k"), $(shown "$scratch/s_side$k.out"); "
    done
    if [ -z "$why" ]; then pass "session: four loops side by side, 25 calls each, each only its own answers"; else fail "session: four loops side by side" "${why%; }"; fi

    # Another user: a client run as uid 65534 cannot use root's session (it
    # talks directly, and finds nothing published); root cannot use one of
    # 65534's, whose session does not greet it.
    if [ "$(id -u)" != 0 ]; then
        skip "session: another user refused" "not root, so no client can be run as another user (uid 65534)"
    else
        other=$(mktemp -d /tmp/zenolt-session-other.XXXXXX)
        mkdir -p "$other/.skychart/tmp"
        printf 0 >"$other/.skychart/tmp/tcpport"
        chmod -R a+rX "$other"
        local as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$other" TMPDIR=/tmp)
        ZENOLT_SESSION=$name run s_other "${as_other[@]}" "$zenolt" GETRA
        local theirs
        theirs=$(cd / && "${as_other[@]}" "$session" --start --idle 60 | sed -n "s/^ZENOLT_SESSION='\(.*\)'; export.*/\1/p")
        echo "$theirs" >"$scratch/other.sessions"
        local greeted entered connect='import socket, sys
s = socket.socket(socket.AF_UNIX); s.settimeout(5); s.connect(sys.argv[1]); print(repr(s.recv(64)))'
        greeted=$(python3 -c "$connect" "$theirs" 2>&1)
        entered=$("${as_other[@]}" python3 -c "$connect" "$name" 2>&1 | tail -n 1)
        HOME=$home ZENOLT_SESSION=$theirs run s_root "$zenolt" GETRA
        why=""
        holds "$scratch/s_other.err" 'ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n' && [ "$(status_of s_other)" = 1 ] ||
            why="uid 65534 in root's session: status $(status_of s_other), $(shown "$scratch/s_other.err"); "
        [ "$greeted" = "b''" ] || why="${why}root at the socket of uid 65534's session got $greeted; "
        [[ "$entered" == PermissionError* ]] || why="${why}uid 65534 at root's socket: $entered; "
        same_runs s_own0 s_root
        if [ -z "$why" ]; then pass "session: another user refused, both ways (uid 65534 and root)"; else fail "session: another user refused" "${why%; }"; fi
    fi

    # Stale: after --stop, and naming what is no session, the programs talk directly.
    ZENOLT_SESSION=$name run s_stop "$session" --stop
    why=""
    [ "$(status_of s_stop)" = 0 ] && [ ! -e "$name" ] || why="--stop status $(status_of s_stop), $name still there: $(ls -d "$name" 2>/dev/null); "
    for stale in "$name" /etc/passwd "$scratch" /nonexistent/socket; do
        HOME=$home ZENOLT_SESSION=$stale run s_stale "$zenolt" GETRA
        same_runs s_own0 s_stale || why="${why}(ZENOLT_SESSION=$stale) "
    done
    if [ -z "$why" ]; then pass "session: --stop, and a stale ZENOLT_SESSION is never an error"; else fail "session: stale ZENOLT_SESSION" "${why%; }"; fi

    # A restart during a session: found afresh on its new port.
    wait "$own_start"
    local own_pid first_port new_port
    own_pid=$(cat "$scratch/own.pid") first_port=$(cat "$own/port" 2>/dev/null)
    if [ -z "$own_pid" ] || [ -z "$first_port" ]; then
        fail "session: a restart during a session" "the second planetarium did not start: $(tail -n 1 "$scratch/own-start.log")"
        return
    fi
    name=$(session_start "$own/home" --idle 120)
    HOME=$home0 ZENOLT_SESSION=$name run s_before "$zenolt" GETRA
    SKYCHART_KEEP=1 SKYCHART_RUNDIR=$own bash "$planetarium/stop.sh" "$own_pid" >/dev/null 2>&1
    SKYCHART_RUNDIR=$own bash "$planetarium/start.sh" 0 >"$scratch/own.pid" 2>"$scratch/own-start.log"
    new_port=$(cat "$own/port" 2>/dev/null)
    HOME=$home0 ZENOLT_SESSION=$name run s_after "$zenolt" GETRA
    why=""
    for k in s_before s_after; do
        [ "$(status_of $k)" = 0 ] && grep -qxE '[0-9]{2}h[0-9]{2}m[0-9]{2}(\.[0-9]+)?s' "$scratch/$k.out" ||
            why="${why}$k: status $(status_of $k), $(shown "$scratch/$k.out") $(shown "$scratch/$k.err"); "
    done
    [ -n "$new_port" ] && [ "$new_port" != "$first_port" ] || why="${why}port $first_port, then '$new_port'; "
    if [ -z "$why" ]; then pass "session: the planetarium restarted during a session, found again (port $first_port, then $new_port)"; else fail "session: a restart during a session" "${why%; }"; fi
}
