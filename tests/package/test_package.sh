#!/usr/bin/env bash
# The Debian package: made by cpack from the build tree, its dependencies and
# files checked, unpacked into a throwaway root (dpkg -x), and the unpacked
# program started once with its data going to a temporary XDG data folder, then
# ended with SIGTERM as logging out does.
#   test_package.sh CPACK BUILD_DIR
set -euo pipefail
cpack=$1
build=$2
T=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null; rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$T/out" >"$T/cpack.log" 2>&1 \
  || { cat "$T/cpack.log"; fail "cpack did not make the package"; }
deb=$(echo "$T"/out/lumivox_*_*.deb)
[ -f "$deb" ] || fail "no lumivox_<version>_<arch>.deb"

# What Qt loads at run time must be named; dpkg-shlibdeps adds what is linked.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6sql6-sqlite qt6-qpa-plugins libqt6svg6 qt6-translations-l10n \
            "fonts-noto-cjk | fonts-ipafont" libqt6widgets6 libcurl4 libicu; do
  grep -qF -- "$need" <<<"$depends" || fail "Depends lacks $need: $depends"
done

root=$T/root
dpkg -x "$deb" "$root"
for f in bin/lumivox share/lumivox/Help/index.htm share/lumivox/empty/Pennora.db \
         share/applications/lumivox.desktop share/icons/hicolor/scalable/apps/lumivox.svg; do
  [ -f "$root/usr/$f" ] || fail "/usr/$f is not in the package"
done
grep -qx 'Exec="/usr/bin/lumivox"' "$root/usr/share/applications/lumivox.desktop" \
  || fail "the desktop entry does not start /usr/bin/lumivox"

data=$T/xdg/lumivox
mkdir -p "$T/home" "$T/xdg"
HOME=$T/home XDG_DATA_HOME=$T/xdg QT_QPA_PLATFORM=offscreen "$root/usr/bin/lumivox" \
  >"$T/run.log" 2>&1 &
pid=$!
for _ in $(seq 150); do
  [ -e "$data/lumivox.lock" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$T/run.log"; fail "the program ended at start"; }
  sleep 0.2
done
[ -e "$data/lumivox.lock" ] || fail "no lock in $data after 30 s"
[ "$(sqlite3 "$data/Pennora.db" 'select count(*) from T_メンバー')" = 0 ] \
  || fail "$data/Pennora.db is not the empty database"

kill -TERM "$pid"
status=0
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end within 20 s of SIGTERM"
wait "$pid" || status=$?
pid=
[ $status = 0 ] || { cat "$T/run.log"; fail "the program ended with status $status"; }
grep -q '^\[MenuMain\]' "$data/lumivox.INI" || fail "$data/lumivox.INI was not written"
[ ! -e "$data/lumivox.lock" ] || fail "the lock was left behind"
[ "$(ls -A "$root/usr/bin")" = lumivox ] || fail "the program wrote beside itself"
echo "PASS: $(basename "$deb"), data in the XDG data folder"
