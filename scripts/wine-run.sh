#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own headless prefix
# (build/wineprefix unless ZENOLT_WINEPREFIX names another), preparing the
# prefix on first use. CMake uses it as the emulator for Windows test programs.
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
# A 32-bit program on a machine that cannot run one (or with ZENOLT_NO_WIN32=1)
# is not started: the script says so and exits with status 126.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
loader=$(wine_loader_for "$1") || exit 126
prepare_wine_prefix
if [ "$loader" = "$zenolt_wine64" ]; then
    export WINELOADER=$zenolt_wine64
fi
exec "${zenolt_fixed_layout[@]}" "$loader" "$@"
