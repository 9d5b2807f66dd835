#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshot of the window for the documentation: opens an example with
# Ctrl+O, runs it with F5 and saves the window as docs/imagens/janela.png.
# Runs the build's run tree in a virtual X server.
# Usage: scripts/captura_janela.sh [BUILD_DIR] [EXAMPLE]   (default: build 10_relogio)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
construcao="$(cd "${1:-$raiz/build}" && pwd)"
exemplo="${2:-10_relogio}"
# The window's title, as the build's CMake cache holds it.
titulo=${OLPA_TITULO:-$(sed -n 's/^OLPA_TITULO:INTERNAL=//p' "$construcao/CMakeCache.txt")}
[ -n "$titulo" ] || { echo "captura: o título da janela não está em $construcao/CMakeCache.txt" >&2; exit 1; }

if [ -z "${OLPA_CAPTURA_DENTRO:-}" ]; then
  exec env OLPA_CAPTURA_DENTRO=1 OLPA_TITULO="$titulo" xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$construcao" "$exemplo"
fi

tmp=$(mktemp -d)
cp -r "$construcao/olpa/bin" "$tmp/bin"
mkdir -p "$tmp/telas" "$tmp/exemplos"
cp "$raiz/exemplos/$exemplo.olp" "$tmp/exemplos/"
cd "$tmp/bin"
XDG_DATA_HOME=$tmp/dados ./olpa >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT

janela=""
for _ in $(seq 1 100); do
  janela=$(xdotool search --all --onlyvisible --pid "$pid" --name "^${titulo//./\\.}\$" 2>/dev/null | head -1) && [ -n "$janela" ] && break
  sleep 0.1
done
[ -n "$janela" ] || { echo "captura: a janela não apareceu" >&2; exit 1; }
sleep 1
# No window manager here: give the keyboard focus by hand.
xdotool windowfocus --sync "$janela"
xdotool key ctrl+o
sleep 1.5
dialogo=$(xdotool search --onlyvisible --pid "$pid" --name "Abrir" | head -1)
xdotool windowfocus --sync "$dialogo"
xdotool type --delay 20 "$exemplo.olp"
sleep 0.5
xdotool key Return
sleep 1.5
xdotool windowfocus --sync "$janela"
xdotool key F5
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$janela")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$raiz/docs/imagens/janela.png"
echo "docs/imagens/janela.png (${WIDTH}x${HEIGHT})"
