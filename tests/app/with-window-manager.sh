#!/bin/sh
# Runs a test program on an X server and window manager of its own: Xvfb on a
# display number it picks itself (nothing else uses it), openbox managing it.
# Both are stopped when the test ends, however it ends. Usage: with-window-manager.sh PROGRAM [ARGS]
set -eu
work=$(mktemp -d)
xpid=
wmpid=
cleanup() {
    [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null || true
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xpid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
DISPLAY=":$(cat "$work/display")"
export DISPLAY

# openbox says it manages the screen by running its start-up command.
HOME="$work" openbox --startup "touch $work/managed" >"$work/openbox.log" 2>&1 &
wmpid=$!
for _ in $(seq 100); do [ -e "$work/managed" ] && break; sleep 0.1; done
[ -e "$work/managed" ] || { echo "openbox did not start:"; cat "$work/openbox.log"; exit 1; }

QT_QPA_PLATFORM=xcb "$@"
