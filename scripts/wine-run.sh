#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own headless prefix
# (build/wineprefix unless ZENOLT_WINEPREFIX names another), preparing the
# prefix on first use. CMake uses it as the emulator for Windows test programs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${ZENOLT_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them and there is no network to fetch them.
export WINEDLLOVERRIDES="mscoree=;mshtml="

mkdir -p "$(dirname "$WINEPREFIX")"
{
    flock 9
    if [ ! -f "$WINEPREFIX/.zenolt-ready" ]; then
        wineboot -i >/dev/null 2>&1
        # DDE needs (hidden) windows; without a display, Wine's null driver provides them.
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.zenolt-ready"
    fi
} 9>"$WINEPREFIX.lock"

# Keep one wineserver alive between runs so each start is quick; it ends
# by itself a minute after the last Wine process (or by `wineserver -k`).
# A second one for the same prefix just exits.
(wineserver -p60 </dev/null >/dev/null 2>&1 &)
# Start Wine's own background processes with their output going nowhere:
# started by the program below they would inherit its standard streams and
# keep a caller's pipe open long after the program has ended.
wineboot </dev/null >/dev/null 2>&1
exec wine "$@"
