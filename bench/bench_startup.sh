#!/usr/bin/env bash
# The whole process from start until the main window has painted its list of 999
# notices (2 KB bodies, 99 groups, 999 members), against a bare Qt program that
# paints a table of Japanese text (the goal: at most 1.3 times it) and one that
# paints an empty main window, in the same run under the same X server. The
# three programs take turns, run after run, so that whatever else the machine
# does meanwhile falls on all three alike. Prints the medians and both ratios.
# Under a private Xvfb there is no session bus unless SESSION_BUS=1 asks for one
# (dbus-run-session), as a desktop has; without one, every program that reaches
# for the bus starts one first.
# Usage: bench/bench_startup.sh BUILD_DIR   (RUNS=N for another number of turns)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
prog=$build/bench/bench_startup
if [ ! -x "$prog" ]; then
  echo "missing $prog: build the target benchmarks first" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$prog" prepare "$work/app"

cat > "$work/measure.py" <<PY
import os, statistics, subprocess, sys, time
programs = [
    ("bare Qt window", ["$prog", "bare"]),
    ("bare window, Japanese table", ["$prog", "bare-text"]),
    ("Lumivox, 999 notices", ["$prog", "lumivox", "$work/app"]),
]
runs, warmup = int(os.environ.get("RUNS", "40")), 3
times = {name: [] for name, _ in programs}
for turn in range(warmup + runs):
    for name, argv in programs:
        start = time.perf_counter()
        done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = (time.perf_counter() - start) * 1000
        if done.returncode != 0:
            sys.exit(f"{name}: exit code {done.returncode}")
        if turn >= warmup:
            times[name].append(elapsed)
bare, text, app = (statistics.median(times[name]) for name, _ in programs)
for name, _ in programs:
    t = sorted(times[name])
    print(f"{name:30s} median {statistics.median(t):6.1f} ms  (min {t[0]:.1f}, max {t[-1]:.1f}, {len(t)} runs)")
print(f"ratio to the Japanese table:        {app / text:7.2f}  (goal: at most 1.3)")
print(f"ratio to the empty bare window:     {app / bare:7.2f}")
PY

measure=(python3 "$work/measure.py")
if [ "${SESSION_BUS:-0}" = 1 ]; then measure=(dbus-run-session -- "${measure[@]}"); fi
# A real X server when there is one, otherwise a private Xvfb for the whole run.
if [ -n "${DISPLAY:-}" ]; then
  "${measure[@]}"
elif command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "${measure[@]}"
else
  QT_QPA_PLATFORM=offscreen "${measure[@]}"
fi
