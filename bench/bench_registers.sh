#!/usr/bin/env bash
# The member register on 999 members and 99 groups: opening until the list is
# painted, and a keyword filter until it is painted again (medians), on SQLite
# and then on a PostgreSQL server of its own over the loopback.
# Usage: bench/bench_registers.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
QT_QPA_PLATFORM=offscreen "$build/bench/bench_registers" 21
