#!/usr/bin/env bash
# Installs the Debian packages Lumivox needs that are missing: one apt-get update,
# then one apt-get install, through sudo when not root. Does nothing when all are
# there. Usage: install-deps.sh [run|test|package|bench]
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n libqt6svg6
  libcurl4-openssl-dev libicu-dev libsqlite3-dev libgl-dev
  fonts-noto-cjk
)
case "${1:-run}" in
  test|bench)
    packages+=(python3-aiosmtpd poppler-utils xvfb xauth sqlite3 openssl ca-certificates
               openbox xdotool dbus-daemon dbus-bin
               ibus ibus-mozc fcitx5 fcitx5-mozc fcitx5-frontend-qt6 postgresql)
    ;;&
  test|package)
    packages+=(dpkg-dev file)
    ;;&
  bench)
    packages+=(python3)
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
