#!/usr/bin/env bash
# The member register on 999 members and 99 groups: opening until the list is
# painted, and a keyword filter until it is painted again (medians).
# Usage: bench/bench_registers.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
QT_QPA_PLATFORM=offscreen "$build/bench/bench_registers" 21
