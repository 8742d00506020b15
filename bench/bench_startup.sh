#!/usr/bin/env bash
# The whole process from start until the main window has painted its list of 999
# notices (2 KB bodies, 99 groups, 999 members), against a bare Qt program that
# paints a table of Japanese text (the goal: at most 1.3 times it) and one that
# paints an empty main window, all timed by hyperfine in the same run under the
# same X server. Prints the medians and both ratios.
# Usage: bench/bench_startup.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
prog=$build/bench/bench_startup
if [ ! -x "$prog" ]; then
  echo "missing $prog: build the target benchmarks first" >&2
  exit 1
fi
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$prog" prepare "$work/app"

cat > "$work/measure.sh" <<SH
#!/usr/bin/env bash
exec hyperfine --shell=none --warmup 3 --runs "${RUNS:-30}" --style basic \\
  --export-json "$work/times.json" \\
  -n "bare Qt window" "$prog bare" \\
  -n "bare Qt window, table of Japanese text" "$prog bare-text" \\
  -n "Lumivox, 999 notices" "$prog lumivox $work/app"
SH
chmod +x "$work/measure.sh"

# A real X server when there is one, otherwise a private Xvfb for the whole run.
if [ -n "${DISPLAY:-}" ]; then
  "$work/measure.sh"
elif command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$work/measure.sh"
else
  QT_QPA_PLATFORM=offscreen "$work/measure.sh"
fi

python3 - "$work/times.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
bare, text, app = (r["median"] * 1000 for r in results)
print(f"median bare Qt window:              {bare:7.1f} ms")
print(f"median bare window, Japanese table: {text:7.1f} ms")
print(f"median Lumivox, 999 notices:        {app:7.1f} ms")
print(f"ratio to the Japanese table:        {app / text:7.2f}  (goal: at most 1.3)")
print(f"ratio to the empty bare window:     {app / bare:7.2f}")
PY
