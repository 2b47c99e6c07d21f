# Sourced by real_planetarium_test.sh: ZenoltSession and the Linux programs
# against the real planetarium it runs ($rundir, $port), while it runs, and
# against a second one of these cases' own, restarted during a session.
#
# Whether programs went through the session shows in the conversations
# closed with the planetarium meanwhile: each direct run leaves one in the
# system's TIME-WAIT list for a minute, runs through a session none. Uses
# the script's run, start, finish, status_of, holds, shown, pass, fail and
# skip; adds its verdicts to the script's counts.

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

# Prints how many conversations with the planetarium at port $1 closed
# within the last minute (TIME-WAIT on either side).
closed_conversations() { ss -Htan state time-wait "( sport = :$1 or dport = :$1 )" | wc -l; }

# Adds to $why when more than $3 conversations with port $1 closed since $2
# were counted: the runs in between did not all go through the session.
through_session() {
    local closed
    closed=$(($(closed_conversations "$1") - $2))
    [ "$closed" -le "$3" ] || why="${why}$closed conversations closed, not through the session; "
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
    local name why k stale closed
    local -a words
    own=$(mktemp -d /tmp/skychart-run.XXXXXX) other=""
    # The planetarium to restart comes up (10 to 40 s) while the others run.
    SKYCHART_RUNDIR=$own bash "$planetarium/start.sh" 0 >"$scratch/own.pid" 2>"$scratch/own-start.log" &
    own_start=$!

    # The planetarium's clock stopped, so that its answers do not change
    # from one run to the next (a chart redrawn at the time of day moves).
    HOME=$home run s_date "$zenolt" SETDATE 2026-12-08T13:41:15
    HOME=$home run s_search "$zenolt" SEARCH M31
    # A loop of 100 calls from a shell in a session, each through it (the
    # session's own conversation closes when it ends).
    closed=$(closed_conversations "$port") why=""
    HOME=$home run s_loop "$session" /bin/sh -c \
        'i=0; while [ $i -lt 100 ]; do "$1" GETRA || exit; i=$((i + 1)); done' _ "$zenolt"
    through_session "$port" "$closed" 1
    if [ -z "$why" ] && [ "$(status_of s_loop)" = 0 ] && [ ! -s "$scratch/s_loop.err" ] &&
        [ "$(wc -l <"$scratch/s_loop.out")" = 100 ] &&
        ! grep -qvxE '[0-9]{2}h[0-9]{2}m[0-9]{2}(\.[0-9]+)?s' "$scratch/s_loop.out"; then
        pass "session: 100 Zenolt GETRA from a shell loop, each through the session"
    else
        fail "session: 100 Zenolt GETRA from a shell loop" "${why}status $(status_of s_loop), standard output $(shown "$scratch/s_loop.out"), standard error $(shown "$scratch/s_loop.err")"
    fi

    # The same bytes and status as direct runs, each run of a pair right after
    # the other; only the direct ones close their conversations.
    name=$(session_start "$home" --idle 120) || { fail "session started" "no name printed"; return; }
    printf 'GETRA\nWARP 9\n?\nGETFOV F\n' >"$scratch/s_script"
    local -a commands=("Zenolt GETRA" "Zenolt WARP 9" "Zenolt ?" "Zenolt GETFOV F" "Zenolt SEARCH M31"
        "Zenolt GETSELECTEDOBJECT" "ZenoltDump" "ZenoltBatch $scratch/s_script"
        "ZenoltBatch --json --replies $scratch/s_script")
    closed=$(closed_conversations "$port")
    for k in "${!commands[@]}"; do
        read -r -a words <<<"${commands[$k]}"
        HOME=$home run "s_direct$k" "$linux_dir/${words[0]}" "${words[@]:1}"
        HOME=$home ZENOLT_SESSION=$name run "s_session$k" "$linux_dir/${words[0]}" "${words[@]:1}"
    done
    why=""
    through_session "$port" "$closed" "${#commands[@]}"
    for k in "${!commands[@]}"; do
        if [[ "${commands[$k]}" == ZenoltDump ]]; then   # its first line is the time it asked
            sed -i 1d "$scratch/s_direct$k.out" "$scratch/s_session$k.out"
        fi
        same_runs "s_direct$k" "s_session$k"
    done
    if [ -z "$why" ]; then pass "session: ${#commands[@]} commands, each the same bytes and status as directly"; else fail "session: the same as directly" "${why%; }"; fi

    # Four loops side by side, each getting only its own answers.
    local -a getters=(GETRA GETDEC GETFOV GETDATE)
    for k in 0 1 2 3; do HOME=$home run "s_own$k" "$zenolt" "${getters[$k]}"; done
    closed=$(closed_conversations "$port")
    for k in 0 1 2 3; do
        HOME=$home ZENOLT_SESSION=$name start "s_side$k" /bin/sh -c \
            'i=0; while [ $i -lt 25 ]; do "$1" "$2" || exit; i=$((i + 1)); done' _ "$zenolt" "${getters[$k]}"
    done
    why=""
    for k in 0 1 2 3; do
        finish "s_side$k"
        [ "$(status_of "s_side$k")" = 0 ] && [ "$(sort -u "$scratch/s_side$k.out")" = "$(cat "$scratch/s_own$k.out")" ] &&
            [ "$(wc -l <"$scratch/s_side$k.out")" = 25 ] ||
            why="${why}${getters[$k]} loop: status $(status_of "s_side$k"), $(shown "$scratch/s_side$k.out"); "
    done
    through_session "$port" "$closed" 0
    if [ -z "$why" ]; then pass "session: four loops side by side, 25 calls each, each only its own answers"; else fail "session: four loops side by side" "${why%; }"; fi

    # Another user: a client run as uid 65534 cannot use root's session, nor
    # even reach its socket (it talks directly, to the same planetarium);
    # root cannot use one of 65534's, whose session does not greet it.
    if [ "$(id -u)" != 0 ]; then
        skip "session: another user refused" "not root, so no client can be run as another user (uid 65534)"
    else
        other=$(mktemp -d /tmp/zenolt-session-other.XXXXXX)
        mkdir -p "$other/.skychart/tmp"
        printf %s "$port" >"$other/.skychart/tmp/tcpport"
        chmod -R a+rX "$other"
        local as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$other" TMPDIR=/tmp)
        why=""
        HOME=$home run s_direct "$zenolt" GETRA
        closed=$(closed_conversations "$port")
        ZENOLT_SESSION=$name run s_other "${as_other[@]}" "$zenolt" GETRA
        [ $(($(closed_conversations "$port") - closed)) = 1 ] || why="uid 65534's Zenolt did not talk directly; "
        local theirs
        theirs=$(cd / && "${as_other[@]}" "$session" --start --idle 60 | sed -n "s/^ZENOLT_SESSION='\(.*\)'; export.*/\1/p")
        echo "$theirs" >"$scratch/other.sessions"
        local greeted entered connect='import socket, sys
s = socket.socket(socket.AF_UNIX); s.settimeout(5); s.connect(sys.argv[1]); print(repr(s.recv(64)))'
        greeted=$(python3 -c "$connect" "$theirs" 2>&1)
        entered=$("${as_other[@]}" python3 -c "$connect" "$name" 2>&1 | tail -n 1)
        HOME=$home ZENOLT_SESSION=$theirs run s_root "$zenolt" GETRA
        same_runs s_direct s_other
        [ "$greeted" = "b''" ] || why="${why}root at the socket of uid 65534's session got $greeted; "
        [[ "$entered" == PermissionError* ]] || why="${why}uid 65534 at root's socket: $entered; "
        same_runs s_direct s_root
        if [ -z "$why" ]; then pass "session: another user refused, both ways (uid 65534 and root)"; else fail "session: another user refused" "${why%; }"; fi
    fi

    # Stale: after --stop, and naming what is no session, the programs talk directly.
    ZENOLT_SESSION=$name run s_stop "$session" --stop
    why=""
    [ "$(status_of s_stop)" = 0 ] && [ ! -e "$name" ] || why="--stop status $(status_of s_stop), $name still there: $(ls -d "$name" 2>/dev/null); "
    for stale in "$name" /etc/passwd "$scratch" /nonexistent/socket; do
        HOME=$home run s_direct "$zenolt" GETRA
        HOME=$home ZENOLT_SESSION=$stale run s_stale "$zenolt" GETRA
        same_runs s_direct s_stale || why="${why}(ZENOLT_SESSION=$stale) "
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
    HOME=$own/home ZENOLT_SESSION=$name run s_before "$zenolt" GETRA
    SKYCHART_KEEP=1 SKYCHART_RUNDIR=$own bash "$planetarium/stop.sh" "$own_pid" >/dev/null 2>&1
    SKYCHART_RUNDIR=$own bash "$planetarium/start.sh" 0 >"$scratch/own.pid" 2>"$scratch/own-start.log"
    new_port=$(cat "$own/port" 2>/dev/null) why=""
    closed=$(closed_conversations "$new_port")
    HOME=$own/home ZENOLT_SESSION=$name run s_after "$zenolt" GETRA
    through_session "$new_port" "$closed" 0
    for k in s_before s_after; do
        [ "$(status_of $k)" = 0 ] && grep -qxE '[0-9]{2}h[0-9]{2}m[0-9]{2}(\.[0-9]+)?s' "$scratch/$k.out" ||
            why="${why}$k: status $(status_of $k), $(shown "$scratch/$k.out") $(shown "$scratch/$k.err"); "
    done
    [ -n "$new_port" ] && [ "$new_port" != "$first_port" ] || why="${why}port $first_port, then '$new_port'; "
    if [ -z "$why" ]; then pass "session: the planetarium restarted during a session, found again (port $first_port, then $new_port)"; else fail "session: a restart during a session" "${why%; }"; fi
}
