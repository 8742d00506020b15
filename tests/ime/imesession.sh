#!/usr/bin/env bash
# Runs a program inside a private X desktop with a real Japanese input method:
# Xvfb, openbox, a D-Bus session and IBus + Mozc or fcitx5 + Mozc, all in a
# temporary folder with its own HOME and XDG folders.
#   imesession.sh ibus|fcitx5 PROGRAM [ARGS…]
# The program's exit status is the script's. Fails (status 1, with the reason)
# when a part of the desktop does not come up. Mozc refuses to run as root, so
# as root the program is copied into the temporary folder and everything runs
# as the unprivileged user 65534. Every process started here is ended on exit.
set -euo pipefail
im=$1
shift
die() { echo "imesession: $*" >&2; exit 1; }
[ "$im" = ibus ] || [ "$im" = fcitx5 ] || die "unknown input method '$im'"

if [ "$(id -u)" = 0 ]; then
  top=$(mktemp -d)
  trap 'rm -rf "$top"' EXIT
  chmod 755 "$top"
  install -m 755 "$0" "$top/imesession.sh"
  install -m 755 "$1" "$top/$(basename "$1")"
  program="$top/$(basename "$1")"
  shift
  chown -R 65534:65534 "$top"
  status=0
  setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR="$top" \
    "$top/imesession.sh" "$im" "$program" "$@" || status=$?
  exit $status
fi

T=$(mktemp -d)
token=$(basename "$T")
export HOME=$T/home XDG_CONFIG_HOME=$T/home/.config XDG_DATA_HOME=$T/home/.local/share
export XDG_CACHE_HOME=$T/home/.cache XDG_RUNTIME_DIR=$T/run TMPDIR=$T
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER QT_IM_MODULE XMODIFIERS

# Everything started here carries the token in its environment (the daemons
# pass it on to what they start), so that nothing outlives the session.
sweep() {
  local e p
  for e in /proc/[0-9]*/environ; do
    [ -O "$e" ] || continue
    p=${e#/proc/}; p=${p%/environ}
    if { tr '\0' '\n' <"$e"; } 2>/dev/null | grep -qx "LUMIVOX_IME_SESSION=$token"; then
      kill "-$1" "$p" 2>/dev/null || true
    fi
  done
}
cleanup() {
  sweep TERM; sleep 0.5; sweep KILL
  rm -rf "$T"
}
trap cleanup EXIT
start() { env LUMIVOX_IME_SESSION="$token" "$@" & }
# waitfor SECONDS WHAT COMMAND…: retries COMMAND until it succeeds.
waitfor() {
  local until=$((SECONDS + $1)) what=$2
  shift 2
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $until ] || { echo "--- logs" >&2; tail -n 20 "$T"/*.log >&2 || true; die "$what did not come up"; }
    sleep 0.2
  done
}

start Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$T/display" 2>"$T/xvfb.log"
waitfor 10 Xvfb test -s "$T/display"
export DISPLAY=:$(head -n 1 "$T/display")
start dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus" >"$T/dbus.log" 2>&1
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
waitfor 10 D-Bus test -S "$XDG_RUNTIME_DIR/bus"
start openbox --sm-disable >"$T/openbox.log" 2>&1
waitfor 10 openbox timeout 5 xdotool get_desktop

if [ "$im" = ibus ]; then
  # Mozc's own engine list, switched on from the start.
  mkdir -p "$XDG_CONFIG_HOME/mozc"
  cat >"$XDG_CONFIG_HOME/mozc/ibus_config.textproto" <<'CONF'
engines {
  name : "mozc-jp"
  longname : "Mozc"
  layout : "default"
  rank : 80
}
active_on_launch: True
CONF
  start ibus-daemon --daemonize=no --single --panel=disable --emoji-extension=disable \
    --cache=refresh >"$T/ibus.log" 2>&1
  # Setting the engine reports a failure even when it works.
  engine_is_mozc() { timeout 5 ibus engine mozc-jp || true; [ "$(timeout 5 ibus engine)" = mozc-jp ]; }
  waitfor 30 "IBus with Mozc" engine_is_mozc
  export QT_IM_MODULE=ibus XMODIFIERS=@im=ibus
else
  mkdir -p "$XDG_CONFIG_HOME/fcitx5"
  cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<'CONF'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=mozc

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=mozc
Layout=

[GroupOrder]
0=Default
CONF
  printf '[Behavior]\nActiveByDefault=True\n' >"$XDG_CONFIG_HOME/fcitx5/config"
  start fcitx5 >"$T/fcitx5.log" 2>&1
  # Asked only once fcitx5 holds its name, so that D-Bus does not start another.
  fcitx5_up() {
    dbus-send --session --reply-timeout=5000 --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner string:org.fcitx.Fcitx5 | grep -q 'boolean true'
  }
  waitfor 30 fcitx5 fcitx5_up
  mozc_known() { [ "$(timeout 5 fcitx5-remote -m mozc)" = mozc ]; }
  waitfor 30 "fcitx5 with Mozc" mozc_known
  export QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx
fi

export QT_QPA_PLATFORM=xcb
status=0
env LUMIVOX_IME_SESSION="$token" timeout 120 "$@" || status=$?
[ $status = 0 ] || { echo "--- logs" >&2; tail -n 20 "$T"/*.log >&2 || true; }
exit $status
