#!/usr/bin/env bash
# Runs every benchmark script bench/bench_*.sh against a build folder and prints
# their results. Usage: bench/run.sh BUILD_DIR [name…]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
shift || true
for script in "$here"/bench_*.sh; do
  name=$(basename "$script" .sh)
  name=${name#bench_}
  if [ $# -gt 0 ] && [[ ! " $* " == *" $name "* ]]; then
    continue
  fi
  echo "== $name"
  bash "$script" "$build"
done
