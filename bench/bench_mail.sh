#!/usr/bin/env bash
# Sending speed: 999 recipients, 2 KB bodies, against Postfix's smtp-sink on
# loopback. Three senders in the same run, each several times (median):
#   smtp-source, 999 messages over one session (the machine's SMTP limit here);
#   Lumivox's sending path (composer and transport), one connection for the run;
#   the same path opening a new connection for every mail.
# smtp-sink and smtp-source come from Debian's postfix package, unpacked into a
# temporary folder (nothing is installed). Prints mails per second and the
# ratios (goal: Lumivox at least half of smtp-source).
# Usage: bench/bench_mail.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
prog=$build/bench/bench_mail
if [ ! -x "$prog" ]; then
  echo "missing $prog: build the target benchmarks first" >&2
  exit 1
fi
count=999
size=2048
runs=${RUNS:-5}

work=$(mktemp -d)
sink_pid=""
cleanup() {
  if [ -n "$sink_pid" ]; then kill "$sink_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && apt-get download -q postfix >/dev/null 2>&1) || {
  echo "could not download Debian's postfix package" >&2
  exit 1
}
dpkg -x "$work"/postfix_*.deb "$work/root"
export LD_LIBRARY_PATH=$work/root/usr/lib/postfix
sink=$work/root/usr/sbin/smtp-sink
source=$work/root/usr/sbin/smtp-source

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
as_user=()
if [ "$(id -u)" -eq 0 ]; then as_user=(-u nobody); fi
"$sink" "${as_user[@]}" "127.0.0.1:$port" 256 &
sink_pid=$!
for _ in $(seq 50); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  sleep 0.1
done

now() { date +%s%N; }
rate_of_source() {
  local start end
  start=$(now)
  "$source" -d -s 1 -m "$count" -l "$size" -f renraku@example.jp -t member@example.jp \
    -M localhost "127.0.0.1:$port"
  end=$(now)
  python3 -c "print(f'{$count / (($end - $start) / 1e9):.1f}')"
}
rate_of_lumivox() {
  "$prog" 127.0.0.1 "$port" "$count" "$size" "$1" | awk '{print $2}'
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

source_rates=() reuse_rates=() fresh_rates=()
for _ in $(seq "$runs"); do
  source_rates+=("$(rate_of_source)")
  reuse_rates+=("$(rate_of_lumivox reuse)")
  fresh_rates+=("$(rate_of_lumivox fresh)")
done
src=$(median "${source_rates[@]}")
reuse=$(median "${reuse_rates[@]}")
fresh=$(median "${fresh_rates[@]}")
python3 - "$src" "$reuse" "$fresh" "$count" "$size" "$runs" <<'PY'
import sys
src, reuse, fresh = (float(v) for v in sys.argv[1:4])
count, size, runs = sys.argv[4:7]
print(f"{count} mails of {size} bytes to smtp-sink on loopback, median of {runs} runs")
print(f"smtp-source, one session:           {src:8.1f} mails/s")
print(f"Lumivox, one connection per run:    {reuse:8.1f} mails/s   ratio to smtp-source {reuse / src:5.2f}  (goal: at least 0.5)")
print(f"Lumivox, a new connection per mail: {fresh:8.1f} mails/s   ratio to smtp-source {fresh / src:5.2f}")
print(f"one connection against a new one per mail: {reuse / fresh:5.2f} times as fast")
PY
