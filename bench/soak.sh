#!/usr/bin/env bash
# An observing night against the real planetarium, run by hand:
#   bash bench/soak.sh linux 60        the Linux programs (build/linux), 60 minutes
#   bash bench/soak.sh windows 15      the 64-bit Windows programs (build/windows-x64)
#                                      against the Windows planetarium under wine64
#   bash bench/soak.sh linux 60 5      a restart every 5 minutes (default 10)
# A watch following the planetarium, another client searching, a batch
# co-process asking; the planetarium ended with SHUTDOWN and started again
# each period. Prints the report as Markdown tables on standard output
# (progress on standard error); exits 0 when nothing was lost and no rejoin
# failed. What it measures and how: bench/soak.py. Build the programs first
# (cmake --workflow --preset linux; cmake --build --preset windows-x64).
set -euo pipefail
exec python3 "$(dirname "${BASH_SOURCE[0]}")/soak.py" "$@"
