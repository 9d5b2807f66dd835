#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages olpa needs, when any is missing; does nothing
# when all are there. Without arguments, what building and running the
# window needs; with --testes, also what the tests, the benchmarks and the
# package's checks need. A user who is not root installs with sudo.
# Usage: scripts/instala-dependencias.sh [--testes]
set -euo pipefail
PACOTES=(
  build-essential cmake pkg-config
  libgtk-3-dev libgtksourceview-4-dev libcairo2-dev libpango1.0-dev libpng-dev
  libtcc-dev tcc libseccomp-dev
  libclang-dev
  adwaita-icon-theme fonts-dejavu-core libglib2.0-data libc-l10n
)
TESTES=(
  googletest libgtest-dev
  xvfb xauth xdotool x11-utils imagemagick libxtst-dev libxdamage-dev
  desktop-file-utils dpkg-dev file appstream lintian man-db
  clang-format
  chromium python3 parallel
)
case "${1:-}" in
  "") ;;
  --testes) PACOTES+=("${TESTES[@]}") ;;
  *) echo "uso: $0 [--testes]" >&2 && exit 2 ;;
esac
faltam=()
for p in "${PACOTES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || faltam+=("$p")
done
[ ${#faltam[@]} -eq 0 ] && exit 0
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || {
    echo "Faltam pacotes do Debian: ${faltam[*]}" >&2
    echo "Instale-os como root (apt-get install ...) ou instale o sudo." >&2
    exit 1
  }
  echo "Para instalar pacotes, o sudo vai pedir a sua senha."
  SUDO=(sudo)
fi
echo "Instalando: ${faltam[*]}"
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "${faltam[@]}"
