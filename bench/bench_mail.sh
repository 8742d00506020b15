#!/usr/bin/env bash
# Sending speed: 999 recipients, 2 KB bodies, against Postfix's smtp-sink on
# loopback. In the same run, each several times (median):
#   smtp-source, 999 messages over one session (the machine's SMTP limit here);
#   Lumivox's run without a window, one connection for the run;
#   the same with every result recorded as it happens, as the program sends;
#   the same opening a new connection for every mail;
#   the whole Send command as a user sees it, from OK in the send options
#   until the summary shows.
# smtp-sink and smtp-source are Postfix's: the installed ones, or unpacked from
# Debian's package into a temporary folder (nothing is installed). Prints mails
# per second and the ratios to smtp-source (goal: at least 0.5 with the results
# recorded).
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
runs=${RUNS:-7}

work=$(mktemp -d)
sink_pid=""
cleanup() {
  if [ -n "$sink_pid" ]; then kill "$sink_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

sink=/usr/sbin/smtp-sink
source=/usr/sbin/smtp-source
if [ ! -x "$sink" ] || [ ! -x "$source" ]; then
  (cd "$work" && apt-get download -q postfix >/dev/null 2>&1) || {
    echo "could not download Debian's postfix package" >&2
    exit 1
  }
  dpkg -x "$work"/postfix_*.deb "$work/root"
  export LD_LIBRARY_PATH=$work/root/usr/lib/postfix
  sink=$work/root/usr/sbin/smtp-sink
  source=$work/root/usr/sbin/smtp-source
fi

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
  QT_QPA_PLATFORM=offscreen "$prog" 127.0.0.1 "$port" "$count" "$size" "$1" 2> >(grep -v QStandardPaths >&2) | awk '{print $2}'
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

source_rates=() reuse_rates=() record_rates=() fresh_rates=() window_rates=()
for _ in $(seq "$runs"); do
  source_rates+=("$(rate_of_source)")
  reuse_rates+=("$(rate_of_lumivox reuse)")
  record_rates+=("$(rate_of_lumivox record)")
  fresh_rates+=("$(rate_of_lumivox fresh)")
  window_rates+=("$(rate_of_lumivox window)")
done
python3 - "$count" "$size" "$runs" "$(median "${source_rates[@]}")" "$(median "${reuse_rates[@]}")" \
  "$(median "${record_rates[@]}")" "$(median "${fresh_rates[@]}")" "$(median "${window_rates[@]}")" <<'PY'
import sys
count, size, runs = sys.argv[1:4]
src, reuse, record, fresh, window = (float(v) for v in sys.argv[4:9])
print(f"{count} mails of {size} bytes to smtp-sink on loopback, median of {runs} runs")
print(f"smtp-source, one session:                 {src:8.1f} mails/s")
print(f"Lumivox, one connection, no results kept: {reuse:8.1f} mails/s   ratio {reuse / src:5.2f}")
print(f"Lumivox, every result recorded:           {record:8.1f} mails/s   ratio {record / src:5.2f}  (goal: at least 0.5)")
print(f"Lumivox, a new connection per mail:       {fresh:8.1f} mails/s   ratio {fresh / src:5.2f}")
print(f"Send as a user sees it (OK to summary):   {window:8.1f} mails/s   ratio {window / src:5.2f}")
PY
