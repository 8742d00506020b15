#!/usr/bin/env bash
# Importing 999 members in 20 groups from a CP932 file: the chosen file until
# the summary, and the confirmation until the member list shows them (medians).
# Usage: bench/bench_roster.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
QT_QPA_PLATFORM=offscreen "$build/bench/bench_roster" 21
