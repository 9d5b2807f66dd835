#!/usr/bin/env bash
# Installs the Debian packages olpa needs to build, run and test, when any is
# missing; does nothing when all are there.
set -euo pipefail
PACOTES=(
  build-essential cmake pkg-config
  libgtk-3-dev libgtksourceview-4-dev libcairo2-dev libpango1.0-dev libpng-dev
  libtcc-dev tcc libseccomp-dev
  libclang-dev
  googletest libgtest-dev
  xvfb xauth xdotool x11-utils imagemagick libxtst-dev libxdamage-dev
  adwaita-icon-theme fonts-dejavu-core desktop-file-utils
  dpkg-dev file appstream
  clang-format
  chromium
)
faltam=()
for p in "${PACOTES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || faltam+=("$p")
done
[ ${#faltam[@]} -eq 0 ] && exit 0
echo "Instalando: ${faltam[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${faltam[@]}"
