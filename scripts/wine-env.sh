# Sourced, not run: the project's Wine set-up, shared by wine-run.sh, the
# try-it script and the benchmark.
#
# Debian's `wine` launcher picks the 32-bit loader for every program once
# wine32 is installed, also for 64-bit programs and for wineboot. On a kernel
# that cannot run 32-bit Linux programs that loader fails with "Exec format
# error", so nothing here goes through the launcher: 64-bit programs and the
# prefix's own tools start with the 64-bit loader, 32-bit programs with the
# 32-bit one.
#
# ZENOLT_NO_WIN32=1 makes this machine behave as one that cannot run 32-bit
# programs, so that path can be tried anywhere.

zenolt_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${ZENOLT_WINEPREFIX:-$zenolt_root/build/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them and there is no network to fetch them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
zenolt_wine64=/usr/lib/wine/wine64
zenolt_wine32=/usr/lib/wine/wine

# Debian's loaders come without Wine's preloader, which would reserve what a
# Windows process needs before anything else is mapped. The 64-bit loader is
# a program at a fixed address (0x7d000000), and the kernel puts its heap at a
# random place in the gigabyte after it: about once in a few thousand starts
# the heap covers 0x7ffe0000, where every Windows process keeps its shared
# user data. That process then ends before it has started ("failed to map
# the shared user data", an error WINEDEBUG=-all hides), and the
# CreateProcess that started it fails with ERROR_INTERNAL_ERROR (1359). So
# every loader starts with the kernel's address randomization off, which
# the processes it starts inherit; where a machine refuses that, as it is.
# Run a loader as: "${zenolt_fixed_layout[@]}" LOADER ARGUMENTS...
if setarch "$(uname -m)" -R true >/dev/null 2>&1; then
    zenolt_fixed_layout=(setarch "$(uname -m)" -R)
else
    zenolt_fixed_layout=()
fi

# Runs a tool of the prefix itself (wineboot, reg, winepath) with the 64-bit loader.
wine64_tool() { WINELOADER=$zenolt_wine64 "${zenolt_fixed_layout[@]}" "$zenolt_wine64" "$@"; }

# Prints 32 or 64 for a Windows program, from the machine field of its PE
# header; prints nothing for anything else.
pe_bits() {
    local offset machine
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 0
    [ -n "$offset" ] || return 0
    [ "$(od -An -c -j"$offset" -N2 "$1" 2>/dev/null | tr -d ' ')" = PE ] || return 0
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
    case "$machine" in
        014c) echo 32 ;;
        8664) echo 64 ;;
    esac
}

# Succeeds when this machine may start 32-bit Windows programs: the 32-bit
# loader runs here and ZENOLT_NO_WIN32=1 is not set. Whether such a program
# then really runs is what the build's probe finds out.
can_start_win32() {
    [ "${ZENOLT_NO_WIN32:-}" != 1 ] && "$zenolt_wine32" --version >/dev/null 2>&1
}

# Prepares the headless prefix on first use and keeps one wineserver alive
# between runs so that each start is quick; it ends by itself a minute after
# the last Wine process (or by `wineserver -k`).
prepare_wine_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    {
        flock 9
        if [ ! -f "$WINEPREFIX/.zenolt-ready" ]; then
            wine64_tool wineboot -i >/dev/null 2>&1
            # DDE needs (hidden) windows; without a display, Wine's null driver provides them.
            wine64_tool reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.zenolt-ready"
        fi
    } 9>"$WINEPREFIX.lock"
    # A second server for the same prefix just exits.
    (wineserver -p60 </dev/null >/dev/null 2>&1 &)
    # Start Wine's own background processes with their output going nowhere:
    # started by a program under test they would inherit its standard streams
    # and keep a caller's pipe open long after the program has ended.
    wine64_tool wineboot </dev/null >/dev/null 2>&1
}

# Prints the loader command for a Windows program: the 64-bit loader for
# 64-bit programs (and anything unrecognised), the 32-bit loader for 32-bit
# ones. Fails, saying why, when this machine cannot start 32-bit programs.
wine_loader_for() {
    if [ "$(pe_bits "$1")" = 32 ]; then
        if ! can_start_win32; then
            if [ "${ZENOLT_NO_WIN32:-}" = 1 ]; then
                echo "cannot run the 32-bit program $1: ZENOLT_NO_WIN32=1 is set" >&2
            else
                echo "cannot run the 32-bit program $1: this machine cannot run 32-bit programs" >&2
            fi
            return 1
        fi
        echo "$zenolt_wine32"
    else
        echo "$zenolt_wine64"
    fi
}
