#!/usr/bin/env bash
# The programs against the real planetarium: Cartes du Ciel v4.3, built from
# its source in ../shared/planetarium (beside this repository) and run
# headless on a port the system chooses; and the Windows programs against the
# real Windows Cartes du Ciel of ../shared/planetarium/windows, under wine64.
#
#   real_planetarium_test.sh LINUX_DIR WINDOWS_DIR [WHY_NO_WINDOWS [WINDOWS_BUILD...]]
#
# LINUX_DIR holds the Linux Zenolt, ZenoltDump, ZenoltBatch and ZenoltWatch;
# WINDOWS_DIR a Windows build holding the same four as .exe, run under Wine
# in the project's prefix against the Linux planetarium. Either may be "-":
# that half is then reported skipped (with WHY_NO_WINDOWS as the reason for
# the Windows half), never passed. The last Linux case ends the planetarium
# with its own SHUTDOWN command, after the Windows half; stop.sh then clears
# what it leaves.
#
# Each WINDOWS_BUILD (a folder of the four .exe) runs the same table of cases
# against the Windows planetarium, started once for all of them, in its own
# Wine prefix; the programs find it only through the registry value it
# writes itself. A build this machine cannot run, or that is not there, is
# reported skipped with the reason; so is the whole half where the Windows
# planetarium or wine64 is missing or it does not start.
#
# Prints one line per case, "ok NAME", "FAIL NAME: why" or "skip NAME: why",
# then "N passed, N failed, N skipped"; exits 1 when a case failed. Without
# the planetarium (its folder missing, or its build failing) it prints a line
# starting "SKIPPED: " and exits 0, which CTest reports as skipped.
#
# The planetarium is always stopped (also on failure or interruption), the
# programs started in the background are ended, the registry value the
# Windows programs find it by is always removed, and the scratch folder is
# always deleted; so is the Windows planetarium with its Xvfb, its Wine
# server and its run folder.
set -uo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 LINUX_DIR|- WINDOWS_DIR|- [WHY_NO_WINDOWS [WINDOWS_BUILD...]]" >&2
    exit 3
fi
linux_dir=$1
windows_dir=$2
why_no_windows=${3:-no Windows build of the programs can run here}
windows_builds=("${@:4}")

here=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd -P)
# shellcheck source=session_cases.sh
source "$here/session_cases.sh"
repo=$(cd "$here/../.." && pwd -P)
planetarium=${ZENOLT_PLANETARIUM_DIR:-$(cd "$repo/.." && pwd -P)/shared/planetarium}
# Each program run gets this long at most, so that a hung conversation is a
# failure of its own case and never a time-out of the whole test (which
# would kill the script before it could stop the planetarium).
run_limit=120
# How the project's Wine set-up starts a loader (see scripts/wine-env.sh).
read -r -a wine_layout <<<"$(source "$repo/scripts/wine-env.sh"; echo "${zenolt_fixed_layout[*]}")"

passed=0 failed=0 skipped=0
pass() { echo "ok $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1: $2"; failed=$((failed + 1)); }
skip() { echo "skip $1: $2"; skipped=$((skipped + 1)); }

if [ "$linux_dir" = - ] && [ "$windows_dir" = - ] && [ ${#windows_builds[@]} = 0 ]; then
    echo "SKIPPED: no programs to try: no Linux build given, and $why_no_windows"
    exit 0
fi
if [ ! -d "$planetarium" ] || [ ! -f "$planetarium/build.sh" ]; then
    echo "SKIPPED: the planetarium is not here: no $planetarium/build.sh"
    exit 0
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zenolt-real.XXXXXX") || { echo "FAIL setup: no scratch folder"; exit 1; }
sky_pid=""
registry_written=0
win_planetarium=$planetarium/windows
win_rundir=$scratch/windows-planetarium   # its run folder (logs, Wine prefix, port)
win_sky_pid=""
win_starting=0   # 1 from its start until its PID is known (or nothing of it runs)

# Everything the test started or wrote goes away, whatever way the script ends.
cleanup() {
    trap - EXIT
    trap "" INT TERM HUP   # a second interruption must not cut the clean-up short
    # Programs still running in the background (a case cut short): each
    # under its timeout, which passes the signal on.
    local f p
    for f in "$scratch"/*.pid "$scratch"/*/*.pid; do
        [ -f "$f" ] || continue
        p=$(cat "$f")
        [ "$(cat "/proc/$p/comm" 2>/dev/null)" = timeout ] && kill -TERM "$p" 2>/dev/null
    done
    if [ "$registry_written" = 1 ]; then
        windows_registry delete 'HKCU\Software\Astro_PC' /f >/dev/null 2>&1
        registry_written=0
    fi
    if [ -z "$sky_pid" ] && [ -f "$scratch/start.log" ]; then
        # Interrupted during start-up: the log names the process started so far.
        sky_pid=$(sed -n 's/.* skychart pid \([0-9][0-9]*\)$/\1/p' "$scratch/start.log" | tail -n 1)
    fi
    if [ -n "$sky_pid" ]; then
        bash "$planetarium/stop.sh" "$sky_pid" >/dev/null 2>&1
        sky_pid=""
    fi
    # The Windows planetarium, also one interrupted during its start-up (its
    # run folder names what was started so far).
    [ "$win_starting" = 0 ] || win_sky_pid=$(cat "$win_rundir/skychart.pid" 2>/dev/null)
    if [ -n "$win_sky_pid" ]; then
        SKYCHART_RUNDIR=$win_rundir bash "$win_planetarium/stop-win64.sh" "$win_sky_pid" >/dev/null 2>&1
        win_sky_pid=""
    elif [ "$win_starting" = 1 ] && [ -f "$win_rundir/xvfb.pid" ]; then
        WINEPREFIX=$win_rundir/wineprefix timeout 10 /usr/lib/wine/wineserver64 -k 2>/dev/null
        kill "$(cat "$win_rundir/xvfb.pid")" 2>/dev/null
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'echo "FAIL interrupted: SIGINT"; exit 130' INT
trap 'echo "FAIL interrupted: SIGTERM"; exit 143' TERM
trap 'echo "FAIL interrupted: SIGHUP"; exit 129' HUP

# Runs the prefix's own reg tool, as the project's Wine set-up does.
windows_registry() {
    (
        source "$repo/scripts/wine-env.sh"
        prepare_wine_prefix
        timeout "$run_limit" bash -c 'source "$1/scripts/wine-env.sh"; shift; wine64_tool reg "$@"' \
            _ "$repo" "$@"
    )
}

# Runs a program, its standard output, error and status going to
# $scratch/NAME.out, .err and .status; standard input from the file named by
# $stdin_from when set, from nothing otherwise.
run() {
    local name=$1
    shift
    timeout "$run_limit" "$@" <"${stdin_from:-/dev/null}" >"$scratch/$name.out" 2>"$scratch/$name.err"
    echo $? >"$scratch/$name.status"
}
status_of() { cat "$scratch/$1.status"; }
# Succeeds while the process runs (a zombie has ended).
pid_alive() { [ -e "/proc/$1" ] && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]; }
# Starts a program in the background as run does, bounded by $limit seconds
# when set (standard input from nothing); finish NAME waits for it and
# records its status. Until then $scratch/NAME.pid names it, so that the
# clean-up can end it.
start() {
    local name=$1
    shift
    timeout "${limit:-$run_limit}" "$@" </dev/null >"$scratch/$name.out" 2>"$scratch/$name.err" &
    echo $! >"$scratch/$name.pid"
}
finish() {
    wait "$(cat "$scratch/$1.pid")"
    echo $? >"$scratch/$1.status"
    rm -f "$scratch/$1.pid"
}
# Waits (up to 30 s: a Windows program starts Wine first) until at least N
# clients are connected to the planetarium. Its listener greets them in the
# order they connected, and each is sent the events from its greeting on: so
# a client that connects after this has returned causes events that all N
# see.
await_clients() {
    local i
    for ((i = 0; i < 300; i++)); do
        [ "$(ss -Htn state established "( sport = :$port )" | wc -l)" -ge "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
# Runs a check written in Python (on standard input); when it fails, the
# reason is in $scratch/check.err, which last_error shows.
py_check() { python3 "$@" 2>"$scratch/check.err"; }
last_error() { local e; e=$(grep -v '^ ' "$scratch/check.err" | tail -n 1); [ -z "$e" ] || echo " ($e)"; }
# Shows bytes readably in a failure message (control characters escaped).
shown() { python3 -c 'import sys; print(repr(open(sys.argv[1], "rb").read()[:300])[1:])' "$1"; }

# Succeeds when the file holds exactly the given bytes (printf format).
holds() {
    local file=$1
    shift
    # shellcheck disable=SC2059
    printf "$@" >"$file.expected"
    cmp -s "$file" "$file.expected"
}

# Checks a run: its status, and that standard output and error hold exactly
# the given bytes (printf formats). Prints the case's verdict.
expect_exact() {
    local case_name=$1 run_name=$2 status=$3 out=$4 err=$5 why=""
    [ "$(status_of "$run_name")" = "$status" ] ||
        why="status $(status_of "$run_name"), expected $status; "
    holds "$scratch/$run_name.out" "$out" ||
        why="${why}standard output $(shown "$scratch/$run_name.out"); "
    holds "$scratch/$run_name.err" "$err" ||
        why="${why}standard error $(shown "$scratch/$run_name.err"); "
    if [ -z "$why" ]; then pass "$case_name"; else fail "$case_name" "${why%; }"; fi
}

# ---------------------------------------------------------------- the planetarium
bash "$planetarium/build.sh" >"$scratch/build.log" 2>&1
build_status=$?
if [ "$build_status" -ne 0 ]; then
    tail -n 20 "$scratch/build.log" >&2
    echo "SKIPPED: the planetarium could not be built (build.sh status $build_status: $(tail -n 1 "$scratch/build.log"))"
    exit 0
fi

# Parses a field of view as the planetarium writes it (+120d00m00s, with the
# degree sign, or decimal) and prints it in degrees.
fov_degrees() {
    python3 - "$1" <<'EOF'
import re, sys
text = open(sys.argv[1], "rb").read().decode("utf-8", "replace").strip()
m = re.fullmatch(r"([+-]?)(\d+)(?:d|°)(\d+)(?:m|')(\d+(?:\.\d+)?)(?:s|\")?", text)
if m:
    value = int(m[2]) + int(m[3]) / 60 + float(m[4]) / 3600
    print(-value if m[1] == "-" else value)
elif re.fullmatch(r"[+-]?\d+(?:\.\d+)?", text):
    print(float(text))
else:
    sys.exit(1)
EOF
}

# Checks what ZenoltDump wrote: its status 0, nothing on standard error, the
# byte count then exactly that many bytes of text: five lines, each ending in
# CR LF (the time, the chart's centre, the selected object M 31, the chart's
# date, the observatory). With three more files, the centre's RA, DEC and
# field must be what they hold (Zenolt GETRA, GETDEC, GETFOV, ending in LF).
# Prints the verdict of the case, with $also_wrong (when set) among its
# reasons.
check_dump() {
    local case_name=$1 run_name=$2 why=${also_wrong:-}
    shift 2
    [ "$(status_of "$run_name")" = 0 ] || why="${why}status $(status_of "$run_name"), expected 0; "
    [ ! -s "$scratch/$run_name.err" ] || why="${why}standard error $(shown "$scratch/$run_name.err"); "
    dump_lines "$scratch/$run_name.out" "$@" || why="${why}standard output $(shown "$scratch/$run_name.out")$(last_error); "
    if [ -z "$why" ]; then pass "$case_name"; else fail "$case_name" "${why%; }"; fi
}
# Succeeds when the file holds ZenoltDump's count and five lines, as
# check_dump says (with the same three files, when given).
dump_lines() {
    py_check - "$@" <<'EOF'
import re, sys
data = open(sys.argv[1], "rb").read()
# The count runs straight into the year: split where a time begins.
split = [k for k in range(1, 12) if data[:k].isdigit()
         and re.match(rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\r*\n", data[k:])]
assert len(split) == 1, "no byte count followed by a time line"
count, text = int(data[:split[0]]), data[split[0]:]
wrong = []
if count != len(text):
    wrong.append(f"count {count}, but {len(text)} bytes of text")
if b"\r\r\n" in text:
    wrong.append("lines end in CR CR LF")
assert not wrong, "; ".join(wrong)
assert text.endswith(b"\r\n"), "the last line does not end in CR LF"
lines = text[:-2].split(b"\r\n")
assert len(lines) == 5, f"{len(lines)} lines ending in CR LF, expected 5"
assert not any(b"\r" in l or b"\n" in l for l in lines), "a stray CR or LF in a line"
assert re.fullmatch(rb"RA: \S+ DEC:\S+ FOV:\S+", lines[1]), f"line 1: {lines[1]!r}"
if len(sys.argv) == 5:
    values = []
    for path in sys.argv[2:]:
        value = open(path, "rb").read()
        assert value.endswith(b"\n") and value.count(b"\n") == 1, f"{path}: {value!r}"
        values.append(value[:-1])
    expected = b"RA: %s DEC:%s FOV:%s" % tuple(values)
    assert lines[1] == expected, f"line 1 {lines[1]!r}, Zenolt gives {expected!r}"
assert b"M 31" in lines[2], f"line 2: {lines[2][:60]!r}"
assert re.fullmatch(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d", lines[3]), f"line 3: {lines[3]!r}"
assert lines[4].startswith(b"LAT:"), f"line 4: {lines[4]!r}"
EOF
}

# Succeeds when the file holds exactly one record of ZenoltWatch (a header
# line: time, byte count, "bytes"; the text; CR LF) whose text is an event
# line about M 31 (">", TAB, ...), and writes the text to FILE.text. With
# "ansi", the degree sign in it must be the one byte 0xB0.
one_event_record() {
    py_check - "$@" <<'EOF'
import re, sys
data = open(sys.argv[1], "rb").read()
m = re.match(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?([+-]\d\d:?\d\d|Z)? (\d+) bytes\r\n", data)
assert m, "no record header"
text = data[m.end():m.end() + int(m[3])]
assert len(text) == int(m[3]) and data[m.end() + len(text):] == b"\r\n", "not one record ending in CR LF"
assert text.startswith(b">\t"), f"not an event line: {text[:40]!r}"
assert b"M 31" in text, "no M 31 in it"
if sys.argv[2:] == ["ansi"]:
    assert b"\xb0" in text and b"\xc2\xb0" not in text, "the degree sign is not the byte 0xB0"
open(sys.argv[1] + ".text", "wb").write(text)
EOF
}

# The short form of the soak run: soak_linux_half and soak_windows_half.
source "$here/soak_cases.sh"

# The script of the batch cases: a line longer than the server takes (2000
# bytes) between commands that are answered.
long_line="MOVE $(head -c 1995 /dev/zero | tr '\0' X)"

# ---------------------------------------------------------------- the Windows planetarium
# Each Windows build against the real Windows planetarium, started once for
# all of them under wine64 in a Wine prefix of its own. The programs run in
# that prefix (with the environment its run folder gives: the same display
# and Wine server) and find the planetarium only through the registry value
# TcpPort it writes itself; nothing here writes it.

# Prints why the programs of a Windows build cannot be tried here, or nothing.
win_build_skip_reason() {
    [ -f "$1/Zenolt.exe" ] && [ -f "$1/ZenoltDump.exe" ] && [ -f "$1/ZenoltBatch.exe" ] &&
        [ -f "$1/ZenoltWatch.exe" ] ||
        { echo "no Zenolt.exe, ZenoltDump.exe, ZenoltBatch.exe and ZenoltWatch.exe in $1"; return; }
    # shellcheck disable=SC2069
    (source "$repo/scripts/wine-env.sh"; wine_loader_for "$1/Zenolt.exe" 2>&1 >/dev/null)
}

# Succeeds when the checked run ($status, $err) ended with status $1 and
# wrote exactly the bytes of the printf format $2 on standard error.
is() { [ "$status" = "$1" ] && holds "$err" "$2"; }
# Succeeds when the Python condition $1 holds. In it, out and err are the
# checked run's standard output and error (bytes), o(NAME), e(NAME) and
# s(NAME) another run's output, error and status; jl(BYTES) the JSON objects
# of its lines; records(BYTES) the records at its start and what follows.
py() {
    py_check - "$scratch" "$run_name" "$1" <<'EOF'
import json, re, sys
scratch, run, condition = sys.argv[1:]
def o(name, kind="out"): return open(f"{scratch}/{name}.{kind}", "rb").read()
def e(name): return o(name, "err")
def s(name): return int(o(name, "status"))
def jl(data): return [json.loads(line) for line in data.decode("ascii").splitlines()]
def records(data):
    bodies = []
    while m := re.match(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?([+-]\d\d:?\d\d|Z)? (\d+) bytes\r\n", data):
        end = m.end() + int(m[3])
        assert data[end:end + 2] == b"\r\n", f"a record not ended by CR LF: {data[:end + 2]!r}"
        bodies.append(data[m.end():end])
        data = data[end + 2:]
    return bodies, data
out, err = o(run), e(run)
assert eval(condition), condition
EOF
}
# Succeeds when the process $1 ends within 30 s.
ends() {
    local i
    for ((i = 0; i < 300; i++)); do pid_alive "$1" || return 0; sleep 0.1; done
    echo "the planetarium still runs 30 s after SHUTDOWN" >"$scratch/check.err"
    return 1
}
# Succeeds when the registry value TcpPort holds $1 (a REG_SZ).
tcp_port_is() {
    local value
    value=$(timeout 30 env WINELOADER=/usr/lib/wine/wine64 "${wine_layout[@]}" /usr/lib/wine/wine64 reg query \
        'HKCU\Software\Astro_PC\Ciel\Status' /v TcpPort 2>&1 | tr -d '\r' | awk '$1 == "TcpPort" {print $2, $3}')
    [ "$value" = "REG_SZ $1" ] || { echo "TcpPort: '$value', expected REG_SZ $1" >"$scratch/check.err"; return 1; }
}
# Runs the cases of one phase with the programs of one Windows build: "up"
# while the planetarium runs, "shutdown" (one build only) to end it, "down"
# after it has ended. Each row: its phase, the case, the run it checks, what
# runs (shell; $zenolt, $dump, $batch and $watch are the programs), and the
# check (shell, with the run's $status, and its standard output and error in
# the files $out and $err).
win_planetarium_cases() {
    local phase=$1 dir=$2 tag loader zenolt dump batch watch
    tag=$(basename "$dir")
    loader=$(source "$repo/scripts/wine-env.sh"; wine_loader_for "$dir/Zenolt.exe") || return
    # shellcheck disable=SC1091
    source "$win_rundir/env"
    [ "$loader" = /usr/lib/wine/wine64 ] || unset WINELOADER
    port=$win_port scratch=$scratch/$tag
    mkdir -p "$scratch"
    zenolt=$(printf '%q ' "${wine_layout[@]}" "$loader" "$dir/Zenolt.exe")
    dump=$(printf '%q ' "${wine_layout[@]}" "$loader" "$dir/ZenoltDump.exe")
    batch=$(printf '%q ' "${wine_layout[@]}" "$loader" "$dir/ZenoltBatch.exe")
    watch=$(printf '%q ' "${wine_layout[@]}" "$loader" "$dir/ZenoltWatch.exe")
    printf 'SEARCH M31\r\nGETSELECTEDOBJECT\r\n' >"$scratch/m31.txt"
    local when name run_name commands check status out err
    while IFS='|' read -r -u 3 when name run_name commands check; do
        read -r when <<<"$when"
        [ "$when" = "$phase" ] || continue
        read -r name <<<"$name"
        read -r run_name <<<"$run_name"
        eval "$commands"
        status=$(status_of "$run_name") out=$scratch/$run_name.out err=$scratch/$run_name.err
        : >"$scratch/check.err"
        if eval "$check"; then
            pass "windows planetarium, $tag $name"
        else
            fail "windows planetarium, $tag $name" "status $status, standard output $(shown "$out"), standard error $(shown "$err")$(last_error)"
        fi
    done 3<<'EOF'
up   | Zenolt.exe ZOM+ halves the field | fov_after | run fov_before $zenolt GETFOV F; run zoom $zenolt ZOM+; run fov_after $zenolt GETFOV F | is 0 '' && py 's("zoom") == 0 and o("zoom") + e("zoom") == b"" and re.fullmatch(rb"[\d.]+\r\n", out) and abs(2 * float(out) / float(o("fov_before")) - 1) < 1e-4'
up   | Zenolt.exe WARP 9 refused | warp | run warp $zenolt WARP 9 | is 2 'Failed! Bad command name\r\n' && [ ! -s "$out" ]
up   | ZenoltBatch.exe --json --replies, the degree sign exact | json | stdin_from=$scratch/m31.txt run json $batch --json --replies - | is 0 '' && py 'jl(out)[0] == {"line": 1, "command": "SEARCH M31", "outcome": "acknowledged", "reply": "OK!\r\n"} and jl(out)[1]["outcome"] == "acknowledged" and "+41\u00b0" in jl(out)[1]["reply"] and jl(out)[2:] == [{"sent": 2, "acknowledged": 2, "refused": 0, "unanswered": 0, "notSent": 0}]'
up   | ZenoltBatch.exe --replies, the degree sign in the ANSI code page | plain | run plain $batch --replies $scratch/m31.txt | is 0 '' && py 'records(out)[0][0] == b"OK!\r\n" and b"+41\xb0" in records(out)[0][1] and len(records(out)[0]) == 2 and records(out)[1] == b"sent 2, acknowledged 2, refused 0, unanswered 0, not sent 0\r\n"'
up   | ZenoltDump.exe five lines, its count the bytes that follow | dump | run dump $dump | is 0 '' && dump_lines "$out"
up   | ZenoltWatch.exe --count 1 sees another client's SEARCH M31 | watch | start watch $watch --count 1 --timeout 20000; await_clients 1; run search $zenolt SEARCH M31; finish watch | is 0 '' && [ "$(status_of search)" = 0 ] && one_event_record "$out" ansi
shutdown | Zenolt.exe SHUTDOWN ends it, TcpPort then 0 | shutdown | run shutdown $zenolt SHUTDOWN | is 0 '' && [ ! -s "$out" ] && ends "$win_sky_pid" && tcp_port_is 0
down | Zenolt.exe after SHUTDOWN: not reached, TcpPort 0 said | none | run none $zenolt GETRA | is 1 'ERROR: Unable to connect to Cartes du Ciel!  Is it running?\r\nZenolt: HKEY_CURRENT_USER\\Software\\Astro_PC\\Ciel\\Status\\TcpPort holds 0: Cartes du Ciel is not running, or its TCP/IP server is turned off\r\n' && [ ! -s "$out" ]
EOF
}

# Prints the PIDs of the Wine processes still running in the prefix of the
# Windows planetarium's run folder.
wine_processes_left() {
    local p
    for p in /proc/[0-9]*; do
        case "$(readlink "$p/exe" 2>/dev/null)" in /usr/lib/wine/*) ;; *) continue ;; esac
        tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$win_rundir/wineprefix" && echo "${p#/proc/}"
    done
}

win_ready=()
for dir in "${windows_builds[@]}"; do
    why=$(win_build_skip_reason "$dir")
    if [ -n "$why" ]; then skip "windows planetarium, $(basename "$dir")" "$why"; else win_ready+=("$dir"); fi
done
if [ ${#windows_builds[@]} = 0 ]; then
    skip "windows planetarium" "no Windows build given to try against it"
elif [ ${#win_ready[@]} = 0 ]; then
    :   # each build said why above
elif [ ! -f "$win_planetarium/start-win64.sh" ]; then
    skip "windows planetarium" "it is not here: no $win_planetarium/start-win64.sh"
elif [ ! -x /usr/lib/wine/wine64 ]; then
    skip "windows planetarium" "no /usr/lib/wine/wine64 to run it (Debian's wine64)"
elif win_starting=1 && ! win_sky_pid=$(SKYCHART_RUNDIR=$win_rundir "${wine_layout[@]}" bash "$win_planetarium/start-win64.sh" 0 2>"$scratch/win-start.log") ||
    [ -z "$win_sky_pid" ] || ! win_port=$(cat "$win_rundir/port" 2>/dev/null); then
    # A failed start leaves nothing running (and a PID, if any, to stop).
    win_starting=0
    cat "$scratch/win-start.log" >&2
    skip "windows planetarium" "it did not start: $(tail -n 1 "$scratch/win-start.log")"
else
    win_starting=0
    win_xvfb_pid=$(cat "$win_rundir/xvfb.pid")
    pass "windows planetarium started (PID $win_sky_pid, port $win_port)"
    soak_windows_half   # one restart first: the cases below run against the planetarium started again
    for phase in up shutdown down; do
        for dir in "${win_ready[@]}"; do
            (win_planetarium_cases "$phase" "$dir") >"$scratch/win-planetarium.log"
            cat "$scratch/win-planetarium.log"
            passed=$((passed + $(grep -c '^ok ' "$scratch/win-planetarium.log")))
            failed=$((failed + $(grep -c '^FAIL ' "$scratch/win-planetarium.log")))
            [ "$phase" != shutdown ] || break
        done
    done
    stopped_pid=$win_sky_pid
    # Its Wine server would outlive the last program by seconds, and what it
    # would save is no longer needed: ended here, the stop does not wait.
    (source "$win_rundir/env"; timeout 10 /usr/lib/wine/wineserver64 -k) >/dev/null 2>&1
    SKYCHART_RUNDIR=$win_rundir bash "$win_planetarium/stop-win64.sh" "$win_sky_pid" >"$scratch/win-stop.log" 2>&1
    stop_status=$?
    win_sky_pid=""
    why=""
    [ "$stop_status" = 0 ] || why="stop-win64.sh status $stop_status; "
    ! pid_alive "$stopped_pid" || why="${why}PID $stopped_pid still alive; "
    ! pid_alive "$win_xvfb_pid" || why="${why}its Xvfb (PID $win_xvfb_pid) still alive; "
    left=$(wine_processes_left)
    [ -z "$left" ] || why="${why}Wine processes of its prefix still running: $left; "
    [ ! -e "$win_rundir/wineprefix" ] || why="${why}its Wine prefix is still there; "
    if [ -z "$why" ]; then pass "windows planetarium stopped: no skychart.exe, Xvfb or Wine server left, its prefix gone"; else fail "windows planetarium stopped" "${why%; }"; fi
fi
if [ "$linux_dir" = - ] && [ "$windows_dir" = - ]; then
    # Nothing for the Linux planetarium to try.
    [ $((passed + failed)) != 0 ] || { echo "SKIPPED: nothing could be tried (see the skips above)"; exit 0; }
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" = 0 ]
    exit
fi

# ---------------------------------------------------------------- the Linux planetarium
sky_pid=$(bash "$planetarium/start.sh" 0 2>"$scratch/start.log")
start_status=$?
if [ "$start_status" -ne 0 ] || [ -z "$sky_pid" ]; then
    cat "$scratch/start.log" >&2
    sky_pid=""
    fail "planetarium started" "start.sh status $start_status: $(tail -n 1 "$scratch/start.log")"
    echo "$passed passed, $failed failed, $skipped skipped"
    exit 1
fi
# Its run folder, found by its PID as stop.sh finds it.
rundir=""
for f in /tmp/skychart-run.*/skychart.pid; do
    [ -f "$f" ] && [ "$(cat "$f")" = "$sky_pid" ] && rundir=$(dirname "$f") && break
done
port=$( [ -n "$rundir" ] && cat "$rundir/port" 2>/dev/null)
if [ -z "$rundir" ] || [ -z "$port" ]; then
    fail "planetarium started" "no run folder or port for PID $sky_pid"
    echo "$passed passed, $failed failed, $skipped skipped"
    exit 1
fi
xvfb_pid=$(cat "$rundir/xvfb.pid" 2>/dev/null)
pass "planetarium started (PID $sky_pid, port $port)"

# ---------------------------------------------------------------- Linux programs
linux_cases() {
    local zenolt=$linux_dir/Zenolt batch=$linux_dir/ZenoltBatch
    local dump=$linux_dir/ZenoltDump watch=$linux_dir/ZenoltWatch
    export HOME=$rundir/home   # found only through the published port file

    run fov_before "$zenolt" GETFOV
    run zoom "$zenolt" ZOM+
    run fov_after "$zenolt" GETFOV
    expect_exact "linux Zenolt ZOM+" zoom 0 '' ''
    local before after
    if [ "$(status_of fov_before)" != 0 ] || [ "$(status_of fov_after)" != 0 ]; then
        fail "linux Zenolt GETFOV halved by ZOM+" "status $(status_of fov_before) and $(status_of fov_after); standard error $(shown "$scratch/fov_before.err") $(shown "$scratch/fov_after.err")"
    elif ! before=$(fov_degrees "$scratch/fov_before.out") || ! after=$(fov_degrees "$scratch/fov_after.out"); then
        fail "linux Zenolt GETFOV halved by ZOM+" "not a field: $(shown "$scratch/fov_before.out") $(shown "$scratch/fov_after.out")"
    elif ! python3 -c 'import sys; b, a = map(float, sys.argv[1:]); sys.exit(0 if b > 0 and abs(a * 2 - b) < 1e-3 * b else 1)' "$before" "$after"; then
        fail "linux Zenolt GETFOV halved by ZOM+" "$before degrees before, $after after"
    elif [ "$(wc -l <"$scratch/fov_after.out")" != 1 ] || [ -n "$(tail -c 1 "$scratch/fov_after.out")" ]; then
        fail "linux Zenolt GETFOV halved by ZOM+" "not one line ending in LF: $(shown "$scratch/fov_after.out")"
    else
        pass "linux Zenolt GETFOV halved by ZOM+ ($before to $after degrees)"
    fi

    run search "$zenolt" SEARCH M31
    expect_exact "linux Zenolt SEARCH M31" search 0 '' ''

    run getra "$zenolt" GETRA
    if [ "$(status_of getra)" = 0 ] && [ ! -s "$scratch/getra.err" ] &&
        grep -qxE '[0-9]{2}h[0-9]{2}m[0-9]{2}(\.[0-9]+)?s' "$scratch/getra.out" &&
        [ "$(wc -l <"$scratch/getra.out")" = 1 ]; then
        pass "linux Zenolt GETRA writes the value"
    else
        fail "linux Zenolt GETRA writes the value" "status $(status_of getra), standard output $(shown "$scratch/getra.out"), standard error $(shown "$scratch/getra.err")"
    fi

    run warp "$zenolt" WARP 9
    expect_exact "linux Zenolt WARP 9 refused" warp 2 '' 'Failed! Bad command name\n'

    # Plain: a report line per command not acknowledged, the summary on
    # standard output.
    printf 'SEARCH M31\nGETRA\nWARP 9\n%s\n' "$long_line" >"$scratch/plain.txt"
    run batch_plain "$batch" "$scratch/plain.txt"
    local why=""
    [ "$(status_of batch_plain)" = 2 ] || why="status $(status_of batch_plain), expected 2; "
    holds "$scratch/batch_plain.out" 'sent 3, acknowledged 2, refused 1, unanswered 0, not sent 1\n' ||
        why="${why}standard output $(shown "$scratch/batch_plain.out"); "
    py_check - "$scratch/batch_plain.err" "$long_line" <<'EOF' || why="${why}standard error $(shown "$scratch/batch_plain.err")$(last_error); "
import sys
lines = open(sys.argv[1], "rb").read().decode("ascii").split("\n")
long_line = sys.argv[2]
assert lines[-1] == "", "no line end"
assert len(lines) == 3, "not two lines"
assert lines[0] == "line 3: refused: WARP 9: Failed! Bad command name", lines[0]
head = "line 4: not sent, longer than 1022 bytes: "
assert lines[1].startswith(head), lines[1]
shown = lines[1][len(head):]
assert shown and long_line.startswith(shown.rstrip(".")), "the line is not shown"
EOF
    if [ -z "$why" ]; then pass "linux ZenoltBatch script"; else fail "linux ZenoltBatch script" "${why%; }"; fi

    # JSON with replies; the long line second, so the commands after it show
    # that the conversation goes on.
    printf 'SEARCH M31\n%s\nGETRA\nWARP 9\n' "$long_line" >"$scratch/json.txt"
    run batch_json "$batch" --json --replies "$scratch/json.txt"
    why=""
    [ "$(status_of batch_json)" = 2 ] || why="status $(status_of batch_json), expected 2; "
    local verdict
    verdict=$(python3 - "$scratch/batch_json.out" "$long_line" <<'EOF'
import json, re, sys
raw = open(sys.argv[1], "rb").read()
long_line = sys.argv[2]
try:
    assert raw.endswith(b"\n"), "no line end at the end"
    objects = [json.loads(line) for line in raw.decode("ascii").splitlines()]
    assert len(objects) == 5, f"{len(objects)} objects, expected 5"
    search, long, getra, warp, summary = objects
    assert search == {"line": 1, "command": "SEARCH M31", "outcome": "acknowledged",
                      "reply": "OK!\r\n"}, f"SEARCH: {search}"
    assert long.get("line") == 2 and long.get("outcome") == "not-sent-long" \
        and "reply" not in long and long_line.startswith(long.get("command", "-")[:40]), \
        f"long line: {str(long)[:120]}"
    assert getra.get("line") == 3 and getra.get("command") == "GETRA" \
        and getra.get("outcome") == "acknowledged" \
        and re.fullmatch(r"OK! \d\dh\d\dm\d\d(\.\d+)?s\r\n", getra.get("reply", "")), f"GETRA: {getra}"
    assert warp == {"line": 4, "command": "WARP 9", "outcome": "refused",
                    "reply": "Failed! Bad command name\r\n"}, f"WARP 9: {warp}"
    assert summary == {"sent": 3, "acknowledged": 2, "refused": 1, "unanswered": 0,
                       "notSent": 1}, f"summary: {summary}"
except (AssertionError, ValueError) as e:
    print(e)
EOF
)
    [ -z "$verdict" ] || why="${why}$verdict; "
    # The report lines on standard error are kept with --json.
    py_check - "$scratch/batch_json.err" <<'EOF' || why="${why}standard error $(shown "$scratch/batch_json.err")$(last_error); "
import sys
lines = open(sys.argv[1], "rb").read().decode("ascii").split("\n")
assert len(lines) == 3 and lines[2] == ""
assert lines[0].startswith("line 2: not sent, longer than 1022 bytes: ")
assert lines[1] == "line 4: refused: WARP 9: Failed! Bad command name"
EOF
    if [ -z "$why" ]; then pass "linux ZenoltBatch --json --replies"; else fail "linux ZenoltBatch --json --replies" "${why%; }"; fi

    # No planetarium published: the port file says 0 (what it leaves after a
    # clean exit).
    mkdir -p "$scratch/home0/.skychart/tmp"
    printf 0 >"$scratch/home0/.skychart/tmp/tcpport"
    HOME=$scratch/home0 run none "$zenolt" GETRA
    expect_exact "linux Zenolt with the port file at 0" none 1 '' \
        "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\nZenolt: $scratch/home0/.skychart/tmp/tcpport holds 0: Cartes du Ciel is not running, or its TCP/IP server is turned off\n"

    # --server alone finds it, whatever the port file says; the replies as
    # records, the script from standard input.
    printf 'GETRA\nZOM-\n' >"$scratch/server.txt"
    HOME=$scratch/home0 stdin_from=$scratch/server.txt run server "$batch" --replies --server "127.0.0.1:$port" -
    why=""
    [ "$(status_of server)" = 0 ] || why="status $(status_of server), expected 0; "
    [ ! -s "$scratch/server.err" ] || why="${why}standard error $(shown "$scratch/server.err"); "
    py_check - "$scratch/server.out" <<'EOF' || why="${why}standard output $(shown "$scratch/server.out")$(last_error); "
import re, sys
data = open(sys.argv[1], "rb").read()
replies = []
while data.startswith(b"2"):
    m = re.match(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?([+-]\d\d:?\d\d|Z)? (\d+) bytes\r\n", data)
    assert m, "bad record header"
    n = int(m[3])
    body = data[m.end():m.end() + n]
    assert data[m.end() + n:m.end() + n + 2] == b"\r\n", "record not ended by CR LF"
    replies.append(body)
    data = data[m.end() + n + 2:]
assert len(replies) == 2
assert re.fullmatch(rb"OK! \d\dh\d\dm\d\d(\.\d+)?s\r\n", replies[0])
assert replies[1] == b"OK!\r\n"
assert data == b"sent 2, acknowledged 2, refused 0, unanswered 0, not sent 0\n"
EOF
    if [ -z "$why" ]; then pass "linux ZenoltBatch --replies --server 127.0.0.1:$port"; else fail "linux ZenoltBatch --replies --server 127.0.0.1:$port" "${why%; }"; fi

    # The state after a SEARCH, its centre as Zenolt gives it.
    run dump_search "$zenolt" SEARCH M31
    run dump "$dump"
    run dump_ra "$zenolt" GETRA
    run dump_dec "$zenolt" GETDEC
    run dump_fov "$zenolt" GETFOV
    local name also_wrong=""
    for name in dump_search dump_ra dump_dec dump_fov; do
        [ "$(status_of $name)" = 0 ] || also_wrong="${also_wrong}$name status $(status_of $name) $(shown "$scratch/$name.err"); "
    done
    also_wrong=$also_wrong check_dump "linux ZenoltDump after SEARCH M31" dump \
        "$scratch/dump_ra.out" "$scratch/dump_dec.out" "$scratch/dump_fov.out"

    # A watch sees the event another client's SEARCH causes.
    start watch "$watch" --count 1 --timeout 20000
    why=""
    await_clients 1 || why="not connected after 30 s; "
    run watch_search "$zenolt" SEARCH M31
    finish watch
    [ "$(status_of watch)" = 0 ] || why="${why}status $(status_of watch), expected 0; "
    [ ! -s "$scratch/watch.err" ] || why="${why}standard error $(shown "$scratch/watch.err"); "
    [ "$(status_of watch_search)" = 0 ] || why="${why}SEARCH M31 status $(status_of watch_search); "
    one_event_record "$scratch/watch.out" || why="${why}standard output $(shown "$scratch/watch.out")$(last_error); "
    if [ -z "$why" ]; then pass "linux ZenoltWatch --count 1 sees another client's SEARCH M31"; else fail "linux ZenoltWatch --count 1 sees another client's SEARCH M31" "${why%; }"; fi

    # The state as it is now, as JSON.
    run watch_now "$watch" --now --json --count 1
    why=""
    [ "$(status_of watch_now)" = 0 ] || why="status $(status_of watch_now), expected 0; "
    [ ! -s "$scratch/watch_now.err" ] || why="${why}standard error $(shown "$scratch/watch_now.err"); "
    py_check - "$scratch/watch_now.out" <<'EOF' || why="${why}standard output $(shown "$scratch/watch_now.out")$(last_error); "
import json, re, sys
raw = open(sys.argv[1], "rb").read()
assert raw.endswith(b"\r\n") and raw.count(b"\n") == 1, "not one line ending in CR LF"
record = json.loads(raw.decode("ascii"))
assert sorted(record) == ["bytes", "text", "time"], f"fields {sorted(record)}"
assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?([+-]\d\d:?\d\d|Z)?", record["time"]), record["time"]
text = record["text"]
assert "RA: " in text and "LAT:" in text, "no RA: and LAT: in the text"
assert text.endswith("\r\n") and len(text[:-2].split("\r\n")) == 5, "not five lines ending in CR LF"
assert record["bytes"] == len(text.encode("utf-8")), f"bytes {record['bytes']}, text of {len(text.encode('utf-8'))}"
EOF
    if [ -z "$why" ]; then pass "linux ZenoltWatch --now --json --count 1"; else fail "linux ZenoltWatch --now --json --count 1" "${why%; }"; fi

    # Two watches at once, one event: both see it.
    start watch_a "$watch" --count 1 --timeout 20000
    start watch_b "$watch" --count 1 --timeout 20000
    why=""
    await_clients 2 || why="not both connected after 30 s; "
    run watch_both_search "$zenolt" SEARCH M31
    finish watch_a
    finish watch_b
    for name in watch_a watch_b; do
        [ "$(status_of $name)" = 0 ] || why="${why}$name status $(status_of $name), expected 0; "
        [ ! -s "$scratch/$name.err" ] || why="${why}$name standard error $(shown "$scratch/$name.err"); "
        one_event_record "$scratch/$name.out" || why="${why}$name standard output $(shown "$scratch/$name.out")$(last_error); "
    done
    [ "$(status_of watch_both_search)" = 0 ] || why="${why}SEARCH M31 status $(status_of watch_both_search); "
    [ -n "$why" ] || cmp -s "$scratch/watch_a.out.text" "$scratch/watch_b.out.text" ||
        why="not the same event: $(shown "$scratch/watch_a.out.text") and $(shown "$scratch/watch_b.out.text")"
    if [ -z "$why" ]; then pass "linux two ZenoltWatch at once see the same SEARCH M31"; else fail "linux two ZenoltWatch at once see the same SEARCH M31" "${why%; }"; fi
}

# The planetarium shut down by another client: a watch learns of it at once.
# The last case of all: the planetarium is gone after it.
linux_shutdown_case() {
    local zenolt=$linux_dir/Zenolt watch=$linux_dir/ZenoltWatch why="" began ended
    export HOME=$rundir/home
    limit=30 start lost "$watch"
    await_clients 1 || why="not connected after 30 s; "
    began=$(date +%s%N)
    start shutdown "$zenolt" SHUTDOWN
    finish lost
    ended=$(date +%s%N)
    finish shutdown
    local took=$(((ended - began) / 1000000))
    [ "$(status_of shutdown)" = 0 ] && [ ! -s "$scratch/shutdown.out" ] && [ ! -s "$scratch/shutdown.err" ] ||
        why="${why}Zenolt SHUTDOWN status $(status_of shutdown), standard error $(shown "$scratch/shutdown.err"); "
    [ "$(status_of lost)" = 1 ] || why="${why}status $(status_of lost), expected 1; "
    [ ! -s "$scratch/lost.out" ] || why="${why}standard output $(shown "$scratch/lost.out"); "
    holds "$scratch/lost.err" 'ZenoltWatch: the conversation with Cartes du Ciel was lost\n' ||
        why="${why}standard error $(shown "$scratch/lost.err"); "
    [ "$took" -le 3000 ] || why="${why}ended $took ms after SHUTDOWN was sent, expected at most 3000; "
    if [ -z "$why" ]; then pass "linux ZenoltWatch ends with status 1 when SHUTDOWN ends the planetarium ($took ms)"; else fail "linux ZenoltWatch ends with status 1 when SHUTDOWN ends the planetarium" "${why%; }"; fi
}

linux_ready=0
if [ "$linux_dir" = - ]; then
    skip "linux" "no Linux build given"
elif [ ! -x "$linux_dir/Zenolt" ] || [ ! -x "$linux_dir/ZenoltDump" ] ||
    [ ! -x "$linux_dir/ZenoltBatch" ] || [ ! -x "$linux_dir/ZenoltWatch" ]; then
    fail "linux" "no Zenolt, ZenoltDump, ZenoltBatch and ZenoltWatch in $linux_dir"
else
    linux_ready=1
    (linux_cases) >"$scratch/linux.log"
    cat "$scratch/linux.log"
    passed=$((passed + $(grep -c '^ok ' "$scratch/linux.log")))
    failed=$((failed + $(grep -c '^FAIL ' "$scratch/linux.log")))
    session_cases
fi

# ---------------------------------------------------------------- Windows programs
windows_cases() {
    local zenolt=$windows_dir/Zenolt.exe batch=$windows_dir/ZenoltBatch.exe
    local dump=$windows_dir/ZenoltDump.exe watch=$windows_dir/ZenoltWatch.exe
    local wine=("bash" "$repo/scripts/wine-run.sh")

    run win_zoom "${wine[@]}" "$zenolt" ZOM+
    expect_exact "windows Zenolt.exe ZOM+" win_zoom 0 '' ''

    run win_getra "${wine[@]}" "$zenolt" GETRA
    if [ "$(status_of win_getra)" = 0 ] && [ ! -s "$scratch/win_getra.err" ] &&
        python3 -c 'import re, sys; sys.exit(0 if re.fullmatch(rb"\d\dh\d\dm\d\d(\.\d+)?s\r\n", open(sys.argv[1], "rb").read()) else 1)' "$scratch/win_getra.out"; then
        pass "windows Zenolt.exe GETRA writes the value"
    else
        fail "windows Zenolt.exe GETRA writes the value" "status $(status_of win_getra), standard output $(shown "$scratch/win_getra.out"), standard error $(shown "$scratch/win_getra.err")"
    fi

    run win_warp "${wine[@]}" "$zenolt" WARP 9
    expect_exact "windows Zenolt.exe WARP 9 refused" win_warp 2 '' 'Failed! Bad command name\r\n'

    # A script as Windows writes it (CR LF), from a file and from standard input.
    printf 'GETRA\r\nZOM-\r\nWARP 9\r\n' >"$scratch/win.txt"
    run win_batch "${wine[@]}" "$batch" "$scratch/win.txt"
    expect_exact "windows ZenoltBatch.exe script" win_batch 2 \
        'sent 3, acknowledged 2, refused 1, unanswered 0, not sent 0\r\n' \
        'line 3: refused: WARP 9: Failed! Bad command name\r\n'

    stdin_from=$scratch/win.txt run win_json "${wine[@]}" "$batch" --json --replies -
    local why=""
    [ "$(status_of win_json)" = 2 ] || why="status $(status_of win_json), expected 2; "
    py_check - "$scratch/win_json.out" <<'EOF' || why="${why}standard output $(shown "$scratch/win_json.out")$(last_error); "
import json, re, sys
objects = [json.loads(line) for line in open(sys.argv[1], "rb").read().decode("ascii").splitlines()]
assert len(objects) == 4
getra, zoom, warp, summary = objects
assert getra["outcome"] == "acknowledged" and re.fullmatch(r"OK! \d\dh\d\dm\d\d(\.\d+)?s\r\n", getra["reply"])
assert zoom == {"line": 2, "command": "ZOM-", "outcome": "acknowledged", "reply": "OK!\r\n"}
assert warp == {"line": 3, "command": "WARP 9", "outcome": "refused", "reply": "Failed! Bad command name\r\n"}
assert summary == {"sent": 3, "acknowledged": 2, "refused": 1, "unanswered": 0, "notSent": 0}
EOF
    holds "$scratch/win_json.err" 'line 3: refused: WARP 9: Failed! Bad command name\r\n' ||
        why="${why}standard error $(shown "$scratch/win_json.err"); "
    if [ -z "$why" ]; then pass "windows ZenoltBatch.exe --json --replies"; else fail "windows ZenoltBatch.exe --json --replies" "${why%; }"; fi

    # A watch under Wine sees the event another client's SEARCH causes: the
    # Linux Zenolt's when there is one.
    local searcher=("${wine[@]}" "$zenolt")
    [ "$linux_ready" = 1 ] && searcher=(env HOME="$rundir/home" "$linux_dir/Zenolt")
    start win_watch "${wine[@]}" "$watch" --count 1 --timeout 20000
    why=""
    await_clients 1 || why="not connected after 30 s; "
    run win_watch_search "${searcher[@]}" SEARCH M31
    finish win_watch
    [ "$(status_of win_watch)" = 0 ] || why="${why}status $(status_of win_watch), expected 0; "
    [ ! -s "$scratch/win_watch.err" ] || why="${why}standard error $(shown "$scratch/win_watch.err"); "
    [ "$(status_of win_watch_search)" = 0 ] || why="${why}SEARCH M31 status $(status_of win_watch_search); "
    one_event_record "$scratch/win_watch.out" ansi || why="${why}standard output $(shown "$scratch/win_watch.out")$(last_error); "
    if [ -z "$why" ]; then pass "windows ZenoltWatch.exe --count 1 sees another client's SEARCH M31"; else fail "windows ZenoltWatch.exe --count 1 sees another client's SEARCH M31" "${why%; }"; fi

    # The state, M 31 still selected.
    run win_dump "${wine[@]}" "$dump"
    check_dump "windows ZenoltDump.exe" win_dump
}

windows_skip_reason() {
    [ "$windows_dir" = - ] && { echo "$why_no_windows"; return; }
    [ -f "$windows_dir/Zenolt.exe" ] && [ -f "$windows_dir/ZenoltDump.exe" ] &&
        [ -f "$windows_dir/ZenoltBatch.exe" ] && [ -f "$windows_dir/ZenoltWatch.exe" ] || return 0
    # The build is there: can this machine start its programs? (The reason,
    # from standard error, is the one thing kept.)
    # shellcheck disable=SC2069
    (source "$repo/scripts/wine-env.sh"; wine_loader_for "$windows_dir/Zenolt.exe" 2>&1 >/dev/null)
}

why_skip=$(windows_skip_reason)
if [ -n "$why_skip" ]; then
    skip "windows" "$why_skip"
elif [ ! -f "$windows_dir/Zenolt.exe" ] || [ ! -f "$windows_dir/ZenoltDump.exe" ] ||
    [ ! -f "$windows_dir/ZenoltBatch.exe" ] || [ ! -f "$windows_dir/ZenoltWatch.exe" ]; then
    fail "windows" "no Zenolt.exe, ZenoltDump.exe, ZenoltBatch.exe and ZenoltWatch.exe in $windows_dir"
else
    # Where the planetarium publishes its port on Windows; the flag is set
    # first so that an interruption part way still removes the key.
    registry_written=1
    if windows_registry add 'HKCU\Software\Astro_PC\Ciel\Status' /v TcpPort /t REG_SZ /d "$port" /f \
        >"$scratch/reg.log" 2>&1; then
        (windows_cases) >"$scratch/windows.log"
        cat "$scratch/windows.log"
        passed=$((passed + $(grep -c '^ok ' "$scratch/windows.log")))
        failed=$((failed + $(grep -c '^FAIL ' "$scratch/windows.log")))
    else
        fail "windows registry value TcpPort" "$(tr '\n' ' ' <"$scratch/reg.log")"
    fi
    windows_registry delete 'HKCU\Software\Astro_PC' /f >/dev/null 2>&1
    if windows_registry query 'HKCU\Software\Astro_PC' >/dev/null 2>&1; then
        fail "windows registry key removed" "HKCU\\Software\\Astro_PC is still there"
    else
        registry_written=0
        # Found by nothing now: the programs say the planetarium is not running.
        run win_none bash "$repo/scripts/wine-run.sh" "$windows_dir/Zenolt.exe" GETRA
        expect_exact "windows registry key removed, Zenolt.exe finds no planetarium" win_none 1 '' \
            'ERROR: Unable to connect to Cartes du Ciel!  Is it running?\r\n'
    fi
fi

# ---------------------------------------------------------------- followed through a restart
[ "$linux_ready" != 1 ] || soak_linux_half

# ---------------------------------------------------------------- shut down by a client
if [ "$linux_ready" = 1 ]; then
    (linux_shutdown_case) >"$scratch/shutdown.log"
    cat "$scratch/shutdown.log"
    passed=$((passed + $(grep -c '^ok ' "$scratch/shutdown.log")))
    failed=$((failed + $(grep -c '^FAIL ' "$scratch/shutdown.log")))
fi

# ---------------------------------------------------------------- stopped, all of it
# (stop.sh also clears what a planetarium ended by SHUTDOWN leaves: its Xvfb
# and its run folder.)
stopped_pid=$sky_pid
bash "$planetarium/stop.sh" "$sky_pid" >"$scratch/stop.log" 2>&1
stop_status=$?
sky_pid=""
why=""
[ "$stop_status" = 0 ] || why="stop.sh status $stop_status; "
! pid_alive "$stopped_pid" || why="${why}PID $stopped_pid still alive; "
[ -z "$xvfb_pid" ] || ! pid_alive "$xvfb_pid" || why="${why}its Xvfb (PID $xvfb_pid) still alive; "
[ ! -e "$rundir" ] || why="${why}$rundir still there; "
if [ -z "$why" ]; then pass "planetarium stopped, run folder gone"; else fail "planetarium stopped" "${why%; }"; fi

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
