# Sourced by real_planetarium_test.sh: the short form of the soak run
# (bench/soak.sh), one restart of the real planetarium in each half.
#
# Two watches follow the planetarium through the restart, one with --now and
# JSON, one counting plain records; a SEARCH before the SHUTDOWN and one after
# the watches are back must each be an event in both, and with --now the state
# must come first again after the rejoin. While the planetarium is down, a
# Zenolt waiting by ZENOLT_WAIT and a ZenoltBatch waiting by --wait are
# started; both must be served once it is up again. Each half leaves the
# planetarium running, restarted where the script's own cases and its clean-up
# find it: soak_linux_half updates sky_pid, port and xvfb_pid;
# soak_windows_half win_sky_pid and win_port (and the run folder's
# skychart.pid and port).

# The watches, and the records each must write through the restart.
soak_watches() {
    cat <<'EOF'
soak_now   | --follow --now --json --count 4 | json state event state event
soak_count | --follow --count 2              | plain event event
EOF
}

# Starts the watches of the table with the command given (the program, then
# its arguments are added); each may take $1 seconds.
soak_start_watches() {
    local seconds=$1 name arguments
    shift
    while IFS='|' read -r name arguments _; do
        # shellcheck disable=SC2086
        limit=$seconds start $name "$@" $arguments
    done < <(soak_watches)
}

# Succeeds when the file holds exactly the records of the kinds given
# (state, event: an event line about M 31), as JSON lines or plain records,
# and nothing else.
soak_records_are() {
    py_check - "$@" <<'EOF'
import json, re, sys
data = open(sys.argv[1], "rb").read()
form, expected = sys.argv[2], sys.argv[3:]
kinds = []
while data:
    if form == "json":
        line, sep, data = data.partition(b"\r\n")
        assert sep and b"\n" not in line, f"not a JSON line ending in CR LF: {line[:60]!r}"
        text = json.loads(line)["text"].encode("utf-8")
    else:
        m = re.match(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d+[+-]\d\d:\d\d (\d+) bytes\r\n", data)
        assert m, f"not a record: {data[:60]!r}"
        text = data[m.end():m.end() + int(m[1])]
        assert data[m.end() + len(text):m.end() + len(text) + 2] == b"\r\n", "a record not ended by CR LF"
        data = data[m.end() + len(text) + 2:]
    kinds.append("event" if text.startswith(b">\t") and b"M 31" in text else
                 "state" if b"RA: " in text and b"LAT:" in text else repr(text[:40]))
assert kinds == expected, f"records {kinds}, expected {expected}"
EOF
}

# Succeeds when the file holds exactly the watch's two lines of a restart:
# lost, then back, each with its time, the second later; each line ends in
# what comes before LF in $2 (nothing, or CR).
soak_lost_and_back() {
    py_check - "$1" "$2" <<'EOF'
import re, sys
text = open(sys.argv[1], "rb").read().decode("ascii")
t = r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)"
end = re.escape(sys.argv[2]) + "\n"
m = re.fullmatch(rf"ZenoltWatch: the conversation with Cartes du Ciel was lost at {t}; waiting for it to come back{end}"
                 rf"ZenoltWatch: Cartes du Ciel is back at {t}{end}", text)
assert m, f"not the lost and back lines: {text!r}"
assert m[1] < m[2], "back before lost"
EOF
}

# Succeeds when both watches have said they are back (within $1 seconds).
soak_await_back() {
    local i
    for ((i = 0; i < $1 * 10; i++)); do
        grep -q "is back at" "$scratch/soak_now.err" && grep -q "is back at" "$scratch/soak_count.err" && return 0
        sleep 0.1
    done
    return 1
}

# The checks after the restart: the waiting programs served (their runs
# named soak_env and soak_option), each watch's records and lines; $1 names
# the half in the verdicts, $2 is the line end of its programs' output
# (printf format).
soak_verdicts() {
    local half=$1 eol=$2 name arguments kinds why
    why=""
    [ "$(status_of soak_env)" = 0 ] && [ ! -s "$scratch/soak_env.err" ] &&
        python3 -c 'import re, sys; sys.exit(not re.fullmatch(rb"\d\dh\d\dm\d\d(\.\d+)?s" + sys.argv[2][:-1].encode(), open(sys.argv[1], "rb").read()))' \
            "$scratch/soak_env.out" "$(printf "$eol\nx")" ||
        why="status $(status_of soak_env), standard output $(shown "$scratch/soak_env.out"), standard error $(shown "$scratch/soak_env.err")"
    if [ -z "$why" ]; then pass "$half Zenolt GETRA started before the planetarium, ZENOLT_WAIT=90, is served"; else fail "$half Zenolt GETRA started before the planetarium, ZENOLT_WAIT=90, is served" "$why"; fi
    why=""
    [ "$(status_of soak_option)" = 0 ] && [ ! -s "$scratch/soak_option.err" ] &&
        holds "$scratch/soak_option.out" "sent 1, acknowledged 1, refused 0, unanswered 0, not sent 0$eol\n" ||
        why="status $(status_of soak_option), standard output $(shown "$scratch/soak_option.out"), standard error $(shown "$scratch/soak_option.err")"
    if [ -z "$why" ]; then pass "$half ZenoltBatch --wait 90 started before the planetarium is served"; else fail "$half ZenoltBatch --wait 90 started before the planetarium is served" "$why"; fi
    while IFS='|' read -r name arguments kinds; do
        read -r name <<<"$name"
        read -r arguments <<<"$arguments"
        why=""
        [ "$(status_of "$name")" = 0 ] || why="status $(status_of "$name"), expected 0; "
        # shellcheck disable=SC2086
        soak_records_are "$scratch/$name.out" $kinds || why="${why}standard output $(shown "$scratch/$name.out")$(last_error); "
        soak_lost_and_back "$scratch/$name.err" "$(printf "$eol")" || why="${why}standard error$(last_error); "
        if [ -z "$why" ]; then pass "$half ZenoltWatch $arguments through a restart"; else fail "$half ZenoltWatch $arguments through a restart" "${why%; }"; fi
    done < <(soak_watches)
}

# The Linux programs against the Linux planetarium: it is ended by SHUTDOWN
# and started again in the same run folder, so at the same port file.
soak_linux_half() {
    sky_pid=""   # from here the clean-up stops what start.log names last
    (soak_linux_cases) >"$scratch/soak-linux.log"
    soak_count_verdicts "$scratch/soak-linux.log"
    sky_pid=$(cat "$rundir/skychart.pid" 2>/dev/null)
    port=$(cat "$rundir/port" 2>/dev/null)
    xvfb_pid=$(cat "$rundir/xvfb.pid" 2>/dev/null)
}

soak_linux_cases() {
    local zenolt=("$linux_dir/Zenolt") why="" old_pid
    export HOME=$rundir/home
    old_pid=$(cat "$rundir/skychart.pid")
    printf 'GETRA\n' >"$scratch/soak_getra.txt"
    soak_start_watches 150 "$linux_dir/ZenoltWatch"
    await_clients 2 || why="the watches not connected after 30 s; "
    run soak_search1 "${zenolt[@]}" SEARCH M31
    run soak_shutdown "${zenolt[@]}" SHUTDOWN
    ends "$old_pid" || why="${why}$(cat "$scratch/check.err"); "
    # Its Xvfb ends too; the run folder stays, with the port file the
    # programs look at.
    SKYCHART_RUNDIR=$rundir SKYCHART_KEEP=1 bash "$planetarium/stop.sh" "$old_pid" >/dev/null 2>&1
    ZENOLT_WAIT=90 limit=150 start soak_env "${zenolt[@]}" GETRA
    limit=150 start soak_option "$linux_dir/ZenoltBatch" --wait 90 "$scratch/soak_getra.txt"
    sleep 1
    pid_alive "$(cat "$scratch/soak_env.pid")" && pid_alive "$(cat "$scratch/soak_option.pid")" ||
        why="${why}a waiting program ended while the planetarium was down; "
    SKYCHART_RUNDIR=$rundir bash "$planetarium/start.sh" 0 >/dev/null 2>>"$scratch/start.log"
    port=$(cat "$rundir/port" 2>/dev/null)
    soak_restarted linux "$rundir/skychart.pid" "$old_pid" 60 '' "$why"
}

# After the start again: waits for the watches to be back, searches again
# (with the caller's ${zenolt[@]}), and gives the verdicts. $1 names the half,
# $2 is the planetarium's PID file, $3 the PID of the one ended, $4 how long
# the watches may take to be back, $5 the line end of the programs' output
# (printf format), $6 what went wrong so far.
soak_restarted() {
    local half=$1 why=$6
    if [ -z "$port" ] || [ "$(cat "$2" 2>/dev/null)" = "$3" ]; then
        why="${why}not started again (no new PID or port); "
    fi
    soak_await_back "$4" || why="${why}the watches not back $4 s after the start again; "
    run soak_search2 "${zenolt[@]}" SEARCH M31
    finish soak_env
    finish soak_option
    finish soak_now
    finish soak_count
    [ "$(status_of soak_search1)$(status_of soak_shutdown)$(status_of soak_search2)" = 000 ] ||
        why="${why}SEARCH, SHUTDOWN, SEARCH statuses $(status_of soak_search1) $(status_of soak_shutdown) $(status_of soak_search2); "
    if [ -z "$why" ]; then pass "$half ended by SHUTDOWN and started again (port $port)"; else fail "$half ended by SHUTDOWN and started again" "${why%; }"; fi
    soak_verdicts "$half" "$5"
}

# Adds the verdicts a half's log holds to the script's counts, and shows them.
soak_count_verdicts() {
    cat "$1"
    passed=$((passed + $(grep -c '^ok ' "$1")))
    failed=$((failed + $(grep -c '^FAIL ' "$1")))
}

# The Windows programs of the first build that runs here against the Windows
# planetarium: skychart.exe, ended by SHUTDOWN, is started again in the same
# Wine prefix as start-win64.sh starts it, so at the same registry value.
soak_windows_half() {
    win_starting=1   # from here the clean-up stops what skychart.pid names
    (soak_windows_cases "${win_ready[0]}") >"$scratch/soak-windows.log"
    soak_count_verdicts "$scratch/soak-windows.log"
    win_sky_pid=$(cat "$win_rundir/skychart.pid" 2>/dev/null)
    win_port=$(cat "$win_rundir/port" 2>/dev/null)
    win_starting=0
}

soak_windows_cases() {
    local dir=$1 why="" i sky
    # shellcheck disable=SC1091
    source "$win_rundir/env"
    local wine=("${wine_layout[@]}" /usr/lib/wine/wine64)
    local zenolt=("${wine[@]}" "$dir/Zenolt.exe")
    port=$win_port
    printf 'GETRA\r\n' >"$scratch/soak_getra.txt"
    soak_start_watches 180 "${wine[@]}" "$dir/ZenoltWatch.exe"
    await_clients 2 || why="the watches not connected after 30 s; "
    run soak_search1 "${zenolt[@]}" SEARCH M31
    run soak_shutdown "${zenolt[@]}" SHUTDOWN
    ends "$win_sky_pid" || why="${why}$(cat "$scratch/check.err"); "
    ZENOLT_WAIT=90 limit=150 start soak_env "${zenolt[@]}" GETRA
    limit=150 start soak_option "${wine[@]}" "$dir/ZenoltBatch.exe" --wait 90 "$scratch/soak_getra.txt"
    sleep 2
    pid_alive "$(cat "$scratch/soak_env.pid")" && pid_alive "$(cat "$scratch/soak_option.pid")" ||
        why="${why}a waiting program ended while the planetarium was down; "
    (cd "$win_rundir/install" && HOME=$win_rundir/home LANG=C.UTF-8 exec "${wine[@]}" skychart.exe --nosplash) \
        </dev/null >>"$win_rundir/skychart.log" 2>&1 &
    sky=$!
    echo "$sky" >"$win_rundir/skychart.pid"
    # The port it listens on now, once it is up (7 to 11 s).
    port=""
    for ((i = 0; i < 600 && ${#port} == 0; i++)); do
        sleep 0.2
        port=$(ss -Hltnp 2>/dev/null | grep -F "pid=$sky," | grep -oE '127\.0\.0\.1:[0-9]+' | head -n 1)
        port=${port#*:}
    done
    echo "$port" >"$win_rundir/port"
    soak_restarted "windows planetarium, $(basename "$dir")" "$win_rundir/skychart.pid" "$win_sky_pid" 90 '\r' "$why"
}
