#!/usr/bin/env python3
"""An observing night against the real planetarium, run by hand (bench/soak.sh).

    python3 bench/soak.py linux|windows MINUTES [PERIOD_MINUTES]

For MINUTES it keeps, against the real Cartes du Ciel (../shared/planetarium
beside this repository, the Linux build or the Windows one under wine64):
  - ZenoltWatch --follow --now --json, logging;
  - another client (this script's own, over TCP) sending SEARCH M31 on a 2 s
    grid, a tick skipped while the previous SEARCH still runs;
  - a ZenoltBatch co-process (--json --replies - --wait) asked GETRA every
    100 ms, one question at a time; when the conversation is lost it ends, and
    a new one is started at once, which waits for the planetarium;
  - the planetarium ended with SHUTDOWN (sent by a client, the real event the
    watch must follow) and started again every PERIOD_MINUTES (default 10),
    where the programs find it: on Linux in the same run folder (so the same
    HOME and port file), on Windows skychart.exe again in the same Wine prefix
    (so the same registry value).
Then it prints the report as Markdown tables: the searches made while the
watch was connected against the events it wrote; each restart, from the new
planetarium's greeting to the watch being back; each batch run's answers
against its questions; the resident memory (VmRSS) of the watch and of the
batch at the start, every 10 minutes and at the end; and every stall longer
than 1 s (see STALL_DEFINITION). It exits 0 when nothing was lost and no rejoin
failed, 1 otherwise, 2 on bad usage.

The planetarium is busy while a SEARCH runs (it redraws the chart, 1 to 3 s on
a loaded machine) and every other client waits, so a GETRA asked then is
answered only after that SEARCH; the time counted against the programs starts
at the end of the SEARCH it waited for.

Whatever way it ends, it stops the programs, the planetarium, its Xvfb and Wine
server, and removes its scratch folder (SOAK_KEEP=1 keeps the folder, with the
programs' traces: ZENOLT_TRACE=1 is on for the watch and the batch unless
SOAK_TRACE=0).
"""

import datetime
import json
import os
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
PLANETARIUM = os.environ.get("ZENOLT_PLANETARIUM_DIR",
                             os.path.join(os.path.dirname(REPO), "shared", "planetarium"))
WINE64 = "/usr/lib/wine/wine64"
SEARCH_EVERY = 2.0
GETRA_EVERY = 0.1
MEMORY_EVERY = 600.0
STALL = 1.0
BATCH_WAIT = 300          # --wait of each batch run, seconds
BACK_LIMIT = 120.0        # a watch not back this long after the greeting has failed to rejoin
STALL_DEFINITION = (
    "a stall is a wait longer than 1 s that the planetarium's being down or busy does not "
    "explain: a GETRA answered more than 1 s after it was asked, or after the end of the "
    "SEARCH that was running when it was asked (the planetarium answers one client at a "
    "time); an event written by the watch more than 1 s after the SEARCH that caused it "
    "was answered; the watch back more than 1 s after the restarted planetarium greeted. "
    "Questions asked from a SHUTDOWN until the new planetarium greets are not counted")

S = types.SimpleNamespace()


def now():
    return time.time()


def clock(t):
    """Returns the wall-clock time t as HH:MM:SS.mmm (UTC), for the tables."""
    return datetime.datetime.fromtimestamp(t, datetime.timezone.utc).strftime("%H:%M:%S.%f")[:-3]


def log(text):
    """Writes a progress line on standard error and in the run's log."""
    line = f"[soak {clock(now())}] {text}"
    print(line, file=sys.stderr, flush=True)
    try:
        with open(os.path.join(S.scratch, "soak.log"), "a") as f:
            f.write(line + "\n")
    except OSError:
        pass   # the report is written after the scratch folder has gone


def fault(text):
    """Records a fault of the run (reported, and the exit status 1)."""
    S.faults.append(text)
    log("FAULT: " + text)


def alive(pid):
    """Returns whether the process runs (a zombie has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def vm_rss_kb(pid):
    """Returns the resident memory of the process in kB, None when it is gone."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def cpu_seconds(pid):
    """Returns the user plus system CPU time of the process in seconds."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError, ValueError):
        return None


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def socket_inodes(pid):
    """Returns the inodes of the sockets the process holds."""
    inodes = set()
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                target = os.readlink(f"/proc/{pid}/fd/{fd}")
            except OSError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    except OSError:
        pass
    return inodes


def tcp_sockets():
    """Returns (state, local port, remote port, inode) of every IPv4 TCP socket."""
    rows = []
    with open("/proc/net/tcp") as f:
        next(f)
        for line in f:
            p = line.split()
            rows.append((p[3], int(p[1].split(":")[1], 16), int(p[2].split(":")[1], 16), p[9]))
    return rows


def listening_port(pid):
    """Returns the port the process listens on, None when it does not (yet)."""
    mine = socket_inodes(pid)
    for state, local, _, inode in tcp_sockets():
        if state == "0A" and inode in mine:
            return local
    return None


def connected_ports(pid):
    """Returns the remote ports of the process's established TCP connections."""
    mine = socket_inodes(pid)
    return sorted(remote for state, _, remote, inode in tcp_sockets() if state == "01" and inode in mine)


def greet(port, limit=60.0):
    """Connects, reads the greeting and returns (socket, file, time of the greeting)."""
    s = socket.create_connection(("127.0.0.1", port), timeout=limit)
    s.settimeout(limit)
    f = s.makefile("rb")
    line = f.readline()
    if not line.startswith(b"OK! id="):
        s.close()
        raise OSError(f"greeting {line!r}")
    return s, f, now()


# ---------------------------------------------------------------- the planetarium

def program_env():
    """Returns the environment the programs run in: found where they find the planetarium."""
    env = dict(os.environ)
    # Each program its own conversation, found where a restart moves it.
    for name in ("ZENOLT_SERVER", "ZENOLT_WAIT", "ZENOLT_SESSION"):
        env.pop(name, None)
    if S.trace:
        env["ZENOLT_TRACE"] = "1"
    if S.platform == "linux":
        env["HOME"] = os.path.join(S.rundir, "home")
    else:
        env.update(S.wine_env)
    return env


def program(name):
    """Returns the command line that starts one of the programs."""
    if S.platform == "linux":
        return [os.path.join(S.build, name)]
    return S.fixed_layout + [WINE64, os.path.join(S.build, name + ".exe")]


def start_planetarium():
    """Starts the planetarium with the shared scripts; sets S.sky_pid and S.port."""
    env = dict(os.environ, SKYCHART_RUNDIR=S.rundir)
    if S.platform == "linux":
        command = ["bash", os.path.join(PLANETARIUM, "start.sh"), "0"]
    else:
        command = S.fixed_layout + ["bash", os.path.join(PLANETARIUM, "windows", "start-win64.sh"), "0"]
    with open(os.path.join(S.scratch, "start.log"), "a") as err:
        run = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=err, text=True)
    if run.returncode != 0 or not run.stdout.strip():
        raise RuntimeError(f"the planetarium did not start (status {run.returncode}; see start.log)")
    S.sky_pid = int(run.stdout.split()[-1])
    with open(os.path.join(S.rundir, "port")) as f:
        S.port = int(f.read())
    if S.platform == "windows":
        S.wine_env = {}
        dump = subprocess.run(["bash", "-c", '. "$1/env"; env -0', "_", S.rundir],
                              stdout=subprocess.PIPE, check=True).stdout
        for item in dump.split(b"\0"):
            if b"=" in item:
                k, v = item.decode().split("=", 1)
                if k in ("WINEPREFIX", "WINELOADER", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES",
                         "DISPLAY", "SKYCHART_WIN_RUNDIR", "TMPDIR"):
                    S.wine_env[k] = v


def start_windows_skychart():
    """Starts skychart.exe again in the same Wine prefix, as start-win64.sh starts it."""
    env = dict(os.environ)
    env.update(S.wine_env)
    env.update(HOME=os.path.join(S.rundir, "home"), LANG="C.UTF-8")
    env.pop("DISPLAY", None)
    env["DISPLAY"] = S.wine_env["DISPLAY"]
    with open(os.path.join(S.rundir, "skychart.log"), "ab") as out:
        child = subprocess.Popen(S.fixed_layout + [WINE64, "skychart.exe", "--nosplash"],
                                 cwd=os.path.join(S.rundir, "install"), env=env,
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=out)
    S.children.append(child)
    with open(os.path.join(S.rundir, "skychart.pid"), "w") as f:
        f.write(f"{child.pid}\n")
    return child.pid


def registry_port():
    """Returns the registry value TcpPort as the Windows programs would find it."""
    env = dict(os.environ)
    env.update(S.wine_env)
    run = subprocess.run(S.fixed_layout + [WINE64, "reg", "query", r"HKCU\Software\Astro_PC\Ciel\Status",
                                           "/v", "TcpPort"],
                         env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    for line in run.stdout.decode("latin-1").splitlines():
        parts = line.split()
        if parts and parts[0] == "TcpPort":
            return parts[-1]
    return "absent"


def port_file():
    path = os.path.join(S.rundir, "home", ".skychart", "tmp", "tcpport")
    try:
        with open(path) as f:
            return f.read().strip() or "empty"
    except OSError:
        return "absent"


def follow_port_file(seen, stop):
    """Appends each new content of the Linux port file to seen, every 20 ms, until stop."""
    while not stop.is_set():
        value = port_file()
        if not seen or seen[-1] != value:
            seen.append(value)
        time.sleep(0.02)


def await_greeting(old_pid, result, stop):
    """Waits for the restarted planetarium's first greeting; puts its time and port in result.

    It looks every 20 ms for the new process (its PID file) and for a listening
    socket of it, then connects and reads the greeting, as a client that came
    first would have been greeted; it closes only after the greeting (a client
    that leaves before it can kill the planetarium's listener).
    """
    pid_file = os.path.join(S.rundir, "skychart.pid")
    while not stop.is_set():
        try:
            with open(pid_file) as f:
                pid = int(f.read())
        except (OSError, ValueError):
            pid = None
        port = listening_port(pid) if pid and pid != old_pid else None
        if port:
            try:
                s, _, when = greet(port)
                s.close()
                result.update(time=when, port=port, pid=pid)
                return
            except OSError:
                pass
        time.sleep(0.02)


def shutdown(port):
    """Sends SHUTDOWN through a client of its own; returns the time it was sent."""
    try:
        s, f, _ = greet(port, 30)
    except OSError as e:
        raise RuntimeError(f"restart {len(S.restarts) + 1}: the planetarium did not greet the client that "
                           f"was to send SHUTDOWN within 30 s ({e}): its command server no longer greets") from e
    sent = now()
    s.sendall(b"SHUTDOWN\r\n")
    try:
        f.readline()
    except OSError:
        pass
    s.close()
    return sent


def restart():
    """Ends the planetarium with SHUTDOWN and starts it again where the programs find it.

    Searches are held from just before the SHUTDOWN until the watch is back, so
    that every search is made while the watch is connected or while it is not,
    never across. Appends the restart's row to S.restarts.
    """
    row = {"n": len(S.restarts) + 1, "old_port": S.port, "old_pid": S.sky_pid}
    S.search_allowed.clear()
    with S.search_lock:
        close_searcher()
        seen, stop = [], threading.Event()
        tracker = None
        if S.platform == "linux":
            tracker = threading.Thread(target=follow_port_file, args=(seen, stop), daemon=True)
            tracker.start()
        S.down_since = shutdown(S.port)
    row["shutdown"] = S.down_since
    while alive(S.sky_pid) and now() - S.down_since < 60:
        for child in S.children:
            child.poll()
        time.sleep(0.02)
    if alive(S.sky_pid):
        fault(f"restart {row['n']}: the planetarium still ran 60 s after SHUTDOWN")
        os.kill(S.sky_pid, signal.SIGKILL)
    row["ended"] = now()
    greeting, stop_greeting = {}, threading.Event()
    waiter = threading.Thread(target=await_greeting, args=(S.sky_pid, greeting, stop_greeting), daemon=True)
    if S.platform == "linux":
        env = dict(os.environ, SKYCHART_RUNDIR=S.rundir, SKYCHART_KEEP="1")
        subprocess.run(["bash", os.path.join(PLANETARIUM, "stop.sh"), str(S.sky_pid)], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        waiter.start()
        start_planetarium()
    else:
        row["registry_after_exit"] = registry_port()
        waiter.start()
        S.sky_pid = start_windows_skychart()
    waiter.join(180)
    stop_greeting.set()
    if not greeting:
        raise RuntimeError(f"restart {row['n']}: the planetarium did not greet within 180 s")
    S.sky_pid, S.port = greeting["pid"], greeting["port"]
    if S.platform == "windows":
        with open(os.path.join(S.rundir, "port"), "w") as f:
            f.write(f"{S.port}\n")
    row.update(greeted=greeting["time"], new_port=S.port)
    S.down_since = None
    deadline = greeting["time"] + BACK_LIMIT
    while now() < deadline and not [b for b in S.backs if b > row["shutdown"]]:
        time.sleep(0.02)
    backs = [b for b in S.backs if b > row["shutdown"]]
    row["back"] = backs[0] if backs else None
    if not backs:
        fault(f"restart {row['n']}: the watch was not back {BACK_LIMIT:.0f} s after the greeting")
    else:
        row["watch_ports"] = connected_ports(S.watch.pid)
    stop.set()
    if tracker:
        tracker.join()
        row["port_file"] = seen
    else:
        row["port_file"] = ["registry " + row.pop("registry_after_exit"), "registry " + registry_port()]
    S.restarts.append(row)
    S.search_allowed.set()
    log(f"restart {row['n']}: port {row['old_port']} -> {row['new_port']}, greeted "
        f"{row['greeted'] - row['shutdown']:.1f} s after SHUTDOWN, watch back "
        + (f"{(row['back'] - row['greeted']) * 1000:.0f} ms after the greeting" if row["back"] else "never"))


# ---------------------------------------------------------------- the clients

def close_searcher():
    if S.searcher:
        S.searcher[0].close()
        S.searcher = None


def searcher():
    """Sends SEARCH M31 on a 2 s grid while searches are allowed; records each in S.searches."""
    tick = now()
    while not S.ending.is_set():
        tick += SEARCH_EVERY
        while tick < now():
            tick += SEARCH_EVERY
        if S.ending.wait(max(0.0, tick - now())):
            return
        if not S.search_allowed.is_set():
            S.search_allowed.wait()
            continue
        with S.search_lock:
            if not S.search_allowed.is_set() or S.ending.is_set():
                continue
            try:
                if not S.searcher:
                    s, f, _ = greet(S.port, 30)
                    S.searcher = (s, f)
                s, f = S.searcher
                sent = now()
                s.sendall(b"SEARCH M31\r\n")
                events = 0
                while True:
                    line = f.readline()
                    if not line:
                        raise OSError("closed")
                    if line.startswith(b">"):
                        events += 1
                        continue
                    break
                S.searches.append({"sent": sent, "answered": now(), "reply": line.strip().decode("latin-1"),
                                   "events": events})
            except OSError as e:
                fault(f"the searching client lost its conversation while the planetarium was up: {e}")
                close_searcher()


def read_watch_output():
    """Records each line the watch writes on standard output, with its arrival."""
    for raw in S.watch.stdout:
        arrived = now()
        entry = {"arrived": arrived, "raw": raw}
        try:
            record = json.loads(raw)
            entry["time"] = datetime.datetime.fromisoformat(record["time"]).timestamp()
            text = record["text"]
            entry["kind"] = ("event" if text.startswith(">\t") else
                             "state" if "RA: " in text and "LAT:" in text else "other")
            entry["m31"] = "M 31" in text
            if not raw.endswith(b"\r\n") or not isinstance(record["bytes"], int):
                entry["kind"] = "other"
        except (ValueError, KeyError, TypeError):
            entry["kind"] = "not a record"
        S.records.append(entry)
        S.watch_log.write(raw)


LINE_TIME = re.compile(r" at (\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d+[+-]\d\d:\d\d)")


def read_watch_errors():
    """Records the watch's lost and back lines (by their own time); keeps its trace."""
    for raw in S.watch.stderr:
        S.watch_err.write(raw)
        line = raw.decode("latin-1").rstrip("\r\n")
        if not line.startswith("ZenoltWatch:"):
            continue
        m = LINE_TIME.search(line)
        when = datetime.datetime.fromisoformat(m[1]).timestamp() if m else None
        if "was lost at" in line and line.endswith("; waiting for it to come back") and when:
            S.losts.append(when)
        elif "is back at" in line and when:
            S.backs.append(when)
        else:
            S.watch_other.append(line)
            log("watch: " + line)


def batch_runs():
    """Keeps a ZenoltBatch co-process asked GETRA every 100 ms; a new one after each loss."""
    while not S.ending.is_set():
        n = len(S.batches) + 1
        err = open(os.path.join(S.scratch, f"batch-{n}.err"), "wb")
        child = subprocess.Popen(program("ZenoltBatch") + ["--json", "--replies", "--wait", str(BATCH_WAIT), "-"],
                                 env=program_env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=err)
        S.batch = child
        run = {"n": n, "pid": child.pid, "started": now(), "asked": [], "outcomes": {}, "summary": None}
        S.batches.append(run)
        tick = now()
        lost = False
        while not S.ending.is_set() and not lost:
            asked = now()
            try:
                child.stdin.write(b"GETRA\n")
                child.stdin.flush()
            except OSError:
                break
            line = child.stdout.readline()
            answered = now()
            if not line:
                break
            try:
                reply = json.loads(line)
            except ValueError:
                reply = {"outcome": "not JSON: " + line[:60].decode("latin-1")}
            if "sent" in reply and "outcome" not in reply:
                run["summary"] = reply
                break
            outcome = reply.get("outcome", "?")
            run["outcomes"][outcome] = run["outcomes"].get(outcome, 0) + 1
            down = S.down_since is not None and asked >= S.down_since
            run["asked"].append({"asked": asked, "answered": answered, "outcome": outcome,
                                 "waited": not run["asked"] or down})
            if outcome != "acknowledged":
                lost = True
                break
            tick += GETRA_EVERY
            if tick < now():
                tick = now()
            S.ending.wait(max(0.0, tick - now()))
        try:
            child.stdin.close()
        except OSError:
            pass
        for line in child.stdout:
            try:
                reply = json.loads(line)
            except ValueError:
                continue
            if "sent" in reply and "outcome" not in reply:
                run["summary"] = reply
            elif "outcome" in reply:
                run["outcomes"][reply["outcome"]] = run["outcomes"].get(reply["outcome"], 0) + 1
        run["status"] = child.wait()
        run["ended"] = now()
        err.close()
        if not S.ending.is_set():
            log(f"batch run {n} ended with status {run['status']}: {run['summary']}")


def memory_sample(label, into=None):
    batch = S.batches[-1] if S.batches else None
    (S.memory if into is None else into).append({"label": label, "at": now(), "watch": vm_rss_kb(S.watch.pid),
                     "watch_cpu": cpu_seconds(S.watch.pid),
                     "batch_run": batch["n"] if batch else None,
                     "batch": vm_rss_kb(batch["pid"]) if batch else None,
                     "load": load_average()})


# ---------------------------------------------------------------- the report

def epochs():
    """Returns the watch's conversations: [(from, to)] by its own lines' times."""
    starts = [S.watch_started] + sorted(S.backs)
    ends = sorted(S.losts) + [S.finished]
    return list(zip(starts, ends + [S.finished] * (len(starts) - len(ends))))


def trace_times(path, word):
    """Returns [(sent ms, answered ms)] of each command WORD in a program's trace."""
    pairs, pending = [], None
    try:
        with open(path, "rb") as f:
            for raw in f:
                m = re.match(rb"([<>]) (\d+) ms: (.*)", raw)
                if not m:
                    continue
                if m[1] == b">" and m[3].startswith(word):
                    pending = int(m[2])
                elif m[1] == b"<" and pending is not None and not m[3].startswith(b">"):
                    pairs.append((pending, int(m[2])))
                    pending = None
    except OSError:
        pass
    return pairs


def explain_getra(run, index):
    """Returns where a slow GETRA's time went, from the batch's trace, and whose it was."""
    if not S.trace:
        return "no trace", "-"
    pairs = trace_times(os.path.join(S.scratch, f"batch-{run['n']}.err"), b"GETRA")
    if index >= len(pairs):
        return "not in the trace", "-"
    answered = [q["answered"] for q in run["asked"]][:len(pairs)]
    offset = min(a - r / 1000 for a, (_, r) in zip(answered, pairs))
    q = run["asked"][index]
    sent, received = pairs[index][0] / 1000 + offset, pairs[index][1] / 1000 + offset
    before = [s["answered"] for s in S.searches if s["answered"] <= q["asked"]]
    last = f"the last SEARCH answered {(q['asked'] - before[-1]) * 1000:.0f} ms before it was asked; " if before else ""
    program = max(0, sent - q["asked"]) + max(0, q["answered"] - received)
    whose = ("the planetarium" if received - sent > STALL else "the batch or the machine" if program > STALL
             else "-")
    return (f"{last}batch read it {max(0, sent - q['asked']) * 1000:.0f} ms after it was written, the "
            f"planetarium answered in {(received - sent) * 1000:.0f} ms, the answer reached this "
            f"script {max(0, q['answered'] - received) * 1000:.0f} ms later"), whose


def search_running(t):
    """Returns the end of the SEARCH running at time t, t when none was."""
    for s in S.searches:
        if s["sent"] - 0.05 <= t <= s["answered"]:
            return s["answered"]
    return t


def report():
    out = []
    p = out.append
    minutes = (S.finished - S.started) / 60
    p(f"### Soak run: {S.platform}, {minutes:.1f} minutes, a restart every {S.period / 60:g} minutes\n")
    p(f"Programs: `{S.build}`. Started {clock(S.started)} UTC, load average {S.load_start} at the start and "
      f"{load_average()} at the end (2 cores, shared).")
    durations = [s["answered"] - s["sent"] for s in S.searches]
    if durations:
        p(f"SEARCH M31 took {statistics.median(durations):.2f} s (median), "
          f"{max(durations):.2f} s at most, over {len(durations)} searches.")
    p("")

    # 1. searches against events
    p("#### Searches made while the watch was connected, and the events it wrote\n")
    p("| conversation | from | to | searches | events written | equal | first record | other records |")
    p("|---|---|---|---:|---:|---|---|---:|")
    total_s = total_e = 0
    spans = epochs()
    delays = []
    for k, (begin, end) in enumerate(spans):
        searches = [s for s in S.searches if begin < s["answered"] <= end]
        records = [r for r in S.records if "time" in r and begin <= r["time"] <= end]
        others = [r for r in S.records if "time" not in r and begin <= r["arrived"] <= end + 1]
        events = [r for r in records if r["kind"] == "event"]
        first = records[0]["kind"] if records else "none"
        # With --now the state is the first record of every conversation, and only the first.
        states = sum(1 for r in records if r["kind"] == "state")
        strange = len([r for r in records if r["kind"] not in ("event", "state") or
                       (r["kind"] == "event" and not r["m31"])]) + len(others) + (states - (1 if first == "state" else 0))
        equal = len(searches) == len(events)
        if not equal:
            fault(f"conversation {k + 1}: {len(searches)} searches but {len(events)} events")
        if first != "state":
            fault(f"conversation {k + 1}: the first record is {first}, not the state")
        if strange:
            fault(f"conversation {k + 1}: {strange} records that are not one state then M 31 events")
        for s, e in zip(searches, events):
            delays.append((e["arrived"] - s["answered"], s, e))
        total_s += len(searches)
        total_e += len(events)
        p(f"| {k + 1} | {clock(begin)} | {clock(end)} | {len(searches)} | {len(events)} | "
          f"{'yes' if equal else '**no**'} | {first} | {strange} |")
    p(f"| all | | | {total_s} | {total_e} | {'yes' if total_s == total_e else '**no**'} | | |")
    if delays:
        d = sorted(x[0] for x in delays)
        p(f"\nFrom a SEARCH's answer to its event written: median {statistics.median(d) * 1000:.0f} ms, "
          f"99th percentile {d[int(len(d) * 0.99)] * 1000:.0f} ms, at most {d[-1] * 1000:.0f} ms.")
    if S.watch_other:
        p("\nOther lines the watch wrote on standard error: " + "; ".join(f"`{x}`" for x in S.watch_other))
    p("")

    # 2. restarts
    p("#### Restarts: from the new planetarium's greeting to the watch back\n")
    p("| restart | SHUTDOWN sent | planetarium ended | port | where the port was published, as seen | "
      "greeted | watch back | back after greeting | watch connected to |")
    p("|---:|---|---:|---|---|---|---|---:|---|")
    for r in S.restarts:
        back = f"{(r['back'] - r['greeted']) * 1000:.0f} ms" if r.get("back") else "**never**"
        ports = r.get("watch_ports", [])
        on_new = ("-" if not r.get("back") else ", ".join(map(str, ports)) +
                  (" (the new port)" if r["new_port"] in ports else " **not the new port**"))
        if r.get("back") and r["new_port"] not in ports:
            fault(f"restart {r['n']}: the watch is connected to {ports}, not to the new port {r['new_port']}")
        p(f"| {r['n']} | {clock(r['shutdown'])} | {r['ended'] - r['shutdown']:.1f} s later | "
          f"{r['old_port']} → {r['new_port']} | {' → '.join(r['port_file'])} | "
          f"{clock(r['greeted'])} ({r['greeted'] - r['shutdown']:.1f} s after SHUTDOWN) | "
          f"{clock(r['back']) if r.get('back') else '-'} | {back} | {on_new} |")
    if len(S.losts) != len(S.restarts) or len(S.backs) != len(S.restarts):
        fault(f"{len(S.restarts)} restarts, but the watch said lost {len(S.losts)} times and back {len(S.backs)} times")
    p(f"\nThe watch said lost {len(S.losts)} times and back {len(S.backs)} times; "
      f"it ended with status {S.watch_status} after SIGINT.\n")

    # 3. batch runs
    p("#### Batch runs: answers against questions, up to each loss\n")
    p("| run | from | to | questions | answers | other outcomes | its summary | status |")
    p("|---:|---|---|---:|---:|---|---|---:|")
    latencies = []
    for run in S.batches:
        asked = len(run["asked"])
        acknowledged = run["outcomes"].get("acknowledged", 0)
        other = ", ".join(f"{k} {v}" for k, v in run["outcomes"].items() if k != "acknowledged") or "-"
        summary = run["summary"]
        last = run is S.batches[-1]
        if (summary and summary["acknowledged"] != acknowledged) or acknowledged < asked - 1:
            fault(f"batch run {run['n']}: {asked} questions, {acknowledged} answers, summary {summary}")
        if not last and run.get("status") != 1:
            fault(f"batch run {run['n']} ended with status {run.get('status')} at a loss, not 1")
        text = ", ".join(f"{k} {v}" for k, v in summary.items()) if summary else "-"
        p(f"| {run['n']} | {clock(run['started'])} | {clock(run.get('ended', S.finished))} | {asked} | "
          f"{acknowledged} | {other} | {text} | {run.get('status')} |")
        for i, q in enumerate(run["asked"]):
            if q["outcome"] == "acknowledged" and not q["waited"]:
                latencies.append((q["answered"] - q["asked"], q["answered"] - search_running(q["asked"]), run, i))
    if latencies:
        raw = sorted(x[0] for x in latencies)
        own = sorted(x[1] for x in latencies)
        p(f"\nGETRA answered after: median {statistics.median(raw) * 1000:.0f} ms, 99th percentile "
          f"{raw[int(len(raw) * 0.99)] * 1000:.0f} ms, at most {raw[-1] * 1000:.0f} ms; counted from the end "
          f"of a SEARCH it waited for: median {statistics.median(own) * 1000:.0f} ms, at most {own[-1] * 1000:.0f} ms "
          f"({len(latencies)} questions).")
    p("")

    # 4. memory
    p("#### Resident memory (VmRSS)\n")
    p("| when | minute | watch | watch CPU | batch run | batch | load average |")
    p("|---|---:|---:|---:|---:|---:|---|")
    for m in S.memory:
        p(f"| {m['label']} | {(m['at'] - S.started) / 60:.1f} | {m['watch']} kB | {m['watch_cpu']:.2f} s | "
          f"{m['batch_run']} | {m['batch']} kB | {m['load']} |")
    watch_kb = [m["watch"] for m in S.minutes_memory if m["watch"]]
    if watch_kb:
        p(f"\nThe watch sampled every minute: {', '.join(str(k) for k in watch_kb)} kB.")
    p("")

    # 5. stalls
    p("#### Stalls longer than 1 s\n")
    p(STALL_DEFINITION + ".\n")
    stalls = []
    for _, own, run, i in latencies:
        if own > STALL:
            q = run["asked"][i]
            text, whose = explain_getra(run, i)
            stalls.append((q["asked"], f"GETRA of batch run {run['n']} answered {(q['answered'] - q['asked']) * 1000:.0f} ms "
                           f"after it was asked ({own * 1000:.0f} ms after any SEARCH it waited for); " + text, whose))
    for d, s, e in delays:
        if d > STALL:
            late = e["time"] - s["answered"]
            stalls.append((s["answered"], f"event written {d * 1000:.0f} ms after its SEARCH was answered "
                           f"(the watch received it {late * 1000:.0f} ms after)",
                           "the planetarium" if late > STALL else "the watch or the machine"))
    for r in S.restarts:
        if r.get("back") and r["back"] - r["greeted"] > STALL:
            stalls.append((r["greeted"], f"watch back {(r['back'] - r['greeted']) * 1000:.0f} ms after restart {r['n']} greeted",
                           "the watch (its trace says where)"))
    if stalls:
        p("| at | what | whose time | load average then |")
        p("|---|---|---|---|")
        for at, what, whose in sorted(stalls):
            p(f"| {clock(at)} | {what} | {whose} | {nearest_load(at)} |")
    else:
        p("None.")
    p("")
    if S.faults:
        p("#### Faults\n")
        for f in S.faults:
            p(f"- {f}")
    else:
        p("No faults: no event lost, no rejoin failed, every batch answered every question up to its loss.")
    return "\n".join(out) + "\n"


def nearest_load(t):
    best = min(S.loads, key=lambda x: abs(x[0] - t), default=None)
    return best[1] if best else "-"


def follow_load():
    while not S.ending.wait(5):
        S.loads.append((now(), load_average()))


# ---------------------------------------------------------------- the run

def stop_everything():
    """Ends the programs, the planetarium, its Xvfb and Wine server."""
    S.ending.set()
    S.search_allowed.set()
    close_searcher()
    if S.batch and S.batch.poll() is None:
        try:
            S.batch.stdin.close()
        except OSError:
            pass
        try:
            S.batch.wait(20)
        except subprocess.TimeoutExpired:
            S.batch.kill()
            S.batch.wait()
    if S.watch and S.watch.poll() is None:
        S.watch.send_signal(signal.SIGINT)
        try:
            S.watch_status = S.watch.wait(20)
        except subprocess.TimeoutExpired:
            S.watch.kill()
            S.watch.wait()
            S.watch_status = "killed after 20 s"
    pid = S.sky_pid
    if pid is None:
        try:
            with open(os.path.join(S.rundir, "skychart.pid")) as f:
                pid = int(f.read())
        except (OSError, ValueError):
            pid = None
    env = dict(os.environ, SKYCHART_RUNDIR=S.rundir)
    if S.platform == "linux":
        if pid:
            subprocess.run(["bash", os.path.join(PLANETARIUM, "stop.sh"), str(pid)], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elif pid:
        subprocess.run(["bash", os.path.join(PLANETARIUM, "windows", "stop-win64.sh"), str(pid)], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elif os.path.exists(os.path.join(S.rundir, "xvfb.pid")):
        subprocess.run(["timeout", "10", "/usr/lib/wine/wineserver64", "-k"],
                       env=dict(os.environ, WINEPREFIX=os.path.join(S.rundir, "wineprefix")))
        with open(os.path.join(S.rundir, "xvfb.pid")) as f:
            subprocess.run(["kill", f.read().strip()], stderr=subprocess.DEVNULL)
    for child in S.children:
        if child.poll() is None:
            child.kill()
            child.wait()


def remove_scratch():
    """Removes the scratch folder, traces included, unless SOAK_KEEP=1."""
    if os.environ.get("SOAK_KEEP") == "1":
        print(f"[soak] kept {S.scratch}", file=sys.stderr)
    else:
        subprocess.run(["rm", "-rf", S.scratch])


def on_signal(number, _):
    raise KeyboardInterrupt(f"signal {number}")


def main(argv):
    if len(argv) not in (3, 4) or argv[1] not in ("linux", "windows") or not argv[2].isdigit() \
            or int(argv[2]) < 1 or (len(argv) == 4 and not re.fullmatch(r"\d+(\.\d+)?", argv[3])):
        print("usage: soak.sh linux|windows MINUTES [PERIOD_MINUTES]", file=sys.stderr)
        return 2
    S.platform, S.minutes = argv[1], int(argv[2])
    S.period = float(argv[3] if len(argv) == 4 else 10) * 60
    S.build = os.path.abspath(os.environ.get("SOAK_BUILD", os.path.join(
        REPO, "build", "linux" if S.platform == "linux" else "windows-x64")))
    S.trace = os.environ.get("SOAK_TRACE", "1") != "0"
    for name in ("ZenoltWatch", "ZenoltBatch"):
        if not os.path.exists(program(name)[-1] if S.platform == "linux" else os.path.join(S.build, name + ".exe")):
            print(f"soak: no {name} in {S.build}: build it first", file=sys.stderr)
            return 2
    S.fixed_layout = ["setarch", os.uname().machine, "-R"]
    if subprocess.run(S.fixed_layout + ["true"]).returncode != 0:
        S.fixed_layout = []
    S.scratch = tempfile.mkdtemp(prefix="zenolt-soak.")
    # As root the Linux planetarium runs as nobody, who must reach its run folder inside.
    os.chmod(S.scratch, 0o755)
    S.rundir = os.path.join(S.scratch, "planetarium")
    S.wine_env = {}
    S.sky_pid = S.port = S.watch = S.batch = S.searcher = S.down_since = None
    S.watch_status = None
    S.children, S.faults, S.restarts, S.searches, S.records = [], [], [], [], []
    S.losts, S.backs, S.watch_other, S.batches, S.memory, S.loads = [], [], [], [], [], []
    S.minutes_memory = []
    S.search_lock, S.search_allowed, S.ending = threading.Lock(), threading.Event(), threading.Event()
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    status = 1
    try:
        subprocess.run(["bash", os.path.join(PLANETARIUM, "build.sh")], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        S.load_start = load_average()
        log(f"starting the {S.platform} planetarium in {S.rundir}")
        start_planetarium()
        log(f"planetarium PID {S.sky_pid}, port {S.port}")
        S.watch_log = open(os.path.join(S.scratch, "watch.out"), "wb")
        S.watch_err = open(os.path.join(S.scratch, "watch.err"), "wb")
        S.watch_started = now()
        S.watch = subprocess.Popen(program("ZenoltWatch") + ["--follow", "--now", "--json"], env=program_env(),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        readers = [threading.Thread(target=read_watch_output, daemon=True),
                   threading.Thread(target=read_watch_errors, daemon=True)]
        for t in readers:
            t.start()
        deadline = now() + 60
        while not S.records and now() < deadline:
            time.sleep(0.05)
        if not S.records:
            raise RuntimeError("the watch wrote no record within 60 s of its start")
        workers = [threading.Thread(target=searcher, daemon=True), threading.Thread(target=batch_runs, daemon=True),
                   threading.Thread(target=follow_load, daemon=True)]
        S.started = now()
        S.search_allowed.set()
        for t in workers:
            t.start()
        time.sleep(5)
        memory_sample("start")
        end = S.started + S.minutes * 60
        next_restart = S.started + S.period
        next_memory = S.started + MEMORY_EVERY
        next_minute = S.started + 60
        while now() < end:
            if now() >= next_minute:
                memory_sample("", S.minutes_memory)
                next_minute += 60
            if S.watch.poll() is not None:
                raise RuntimeError(f"the watch ended with status {S.watch.returncode}")
            if now() >= next_memory:
                memory_sample(f"{(next_memory - S.started) / 60:.0f} min")
                next_memory += MEMORY_EVERY
            if now() >= next_restart and end - now() > 60:
                log(f"restart {len(S.restarts) + 1}")
                restart()
                next_restart += S.period
            time.sleep(0.2)
        # The last searches reach the watch, then the last sample.
        S.search_allowed.clear()
        with S.search_lock:
            pass
        time.sleep(2)
        memory_sample("end")
        S.finished = now()
        status = 0
    except KeyboardInterrupt as e:
        log(f"interrupted ({e})")
        S.finished = now()
        status = 130
    except (RuntimeError, OSError, subprocess.CalledProcessError) as e:
        fault(str(e))
        S.finished = now()
        if S.watch is not None and S.watch.poll() is None:
            memory_sample("end (run stopped by the fault)")
    finally:
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        stop_everything()
        # The report reads the traces, so the scratch folder goes after it.
        try:
            if hasattr(S, "started") and S.watch is not None:
                try:
                    text = report()
                except Exception as e:  # the report must not hide what the run found
                    text = f"report failed: {e!r}\nfaults: {S.faults}\n"
                print(text, flush=True)
        finally:
            remove_scratch()
    if status == 0 and S.faults:
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
