#!/usr/bin/env bash
# The member list of 999 members to PDF: the median time from the command to the
# finished file. Usage: bench/bench_reports.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
QT_QPA_PLATFORM=offscreen "$build/bench/bench_reports" 21
