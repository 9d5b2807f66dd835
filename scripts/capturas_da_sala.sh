#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots for the documentation, from the real program on a virtual
# 1366 x 768 screen (a school's): the grown window after a run, the strip of
# steps moved back, a click on the picture taken to its line, a run paused
# and stepped, the completion popup, the help window (F1) and "Abrir" with
# its preview, as docs/imagens/{janela_grande,passo_a_passo,clique,pausado,
# completar,ajuda,abrir}.png.
# Usage: scripts/capturas_da_sala.sh [BUILD_DIR]   (default: build)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
construcao="$(cd "${1:-$raiz/build}" && pwd)"
titulo=${OLPA_TITULO:-$(sed -n 's/^OLPA_TITULO:INTERNAL=//p' "$construcao/CMakeCache.txt")}
[ -n "$titulo" ] || { echo "capturas: o título da janela não está em $construcao/CMakeCache.txt" >&2; exit 1; }

if [ -z "${OLPA_CAPTURA_DENTRO:-}" ]; then
  exec env OLPA_CAPTURA_DENTRO=1 OLPA_TITULO="$titulo" xvfb-run -a -s "-screen 0 1366x768x24" "$0" "$construcao"
fi

tmp=$(mktemp -d)
cp -r "$construcao/olpa/bin" "$tmp/bin"
mkdir -p "$tmp/telas" "$tmp/exemplos"
cp "$raiz"/exemplos/*.olp "$tmp/exemplos/"
cd "$tmp/bin"
XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/dados ./olpa >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
imagens=$raiz/docs/imagens

procura() { # TITLE: the visible window of olpa with that title
  local w=""
  for _ in $(seq 1 100); do
    w=$(xdotool search --all --onlyvisible --pid "$pid" --name "^${1//./\\.}\$" 2>/dev/null | head -1) && [ -n "$w" ] && break
    sleep 0.1
  done
  [ -n "$w" ] || { echo "capturas: a janela \"$1\" não apareceu" >&2; exit 1; }
  echo "$w"
}
captura() { # WINDOW FILE
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
  echo "docs/imagens/$(basename "$2") (${WIDTH}x${HEIGHT})"
}
abre() { # EXAMPLE: its name typed into "Abrir" (the dialog in $abrir), its preview shown
  xdotool key ctrl+o
  abrir=$(procura "Abrir")
  sleep 1
  xdotool windowfocus --sync "$abrir"
  xdotool type --delay 30 "$1"
  sleep 1.5
}
escolhe() { # the example in "Abrir" opened, the window focused again
  xdotool key Return
  sleep 1.5
  xdotool windowfocus --sync "$janela"
}

janela=$(procura "$titulo")
sleep 1
# No window manager here: place, size and focus the window by hand.
xdotool windowmove --sync "$janela" 0 0
xdotool windowsize --sync "$janela" 1300 720
xdotool windowfocus --sync "$janela"
sleep 0.5

# Abrir, with the preview of the selected example.
abre 09_espiral.olp
captura "$abrir" "$imagens/abrir.png"
escolhe

# The grown window after a run.
xdotool key F5
sleep 2
captura "$janela" "$imagens/janela_grande.png"

# The strip of steps: the slider taken back to a third of the run, the
# canvas as it was then, the pen marked, the call's line in the editor.
eval "$(xdotool getwindowgeometry --shell "$janela")"
fx=$((X + WIDTH - 10 - 640)) fy=$((Y + 10)) # the picture, at the window's right
xdotool mousemove $((fx + 190 + (640 - 190) / 3)) $((fy + 480 + 5 + 16)) click 1
xdotool mousemove $((fx + 700)) $((fy + 200))
sleep 1
captura "$janela" "$imagens/passo_a_passo.png"

# A click on a stroke of the picture: the step that drew it, its line.
ponto=""
for p in "470 250" "440 330" "250 380" "200 150" "330 90" "520 140"; do
  set -- $p
  c=$(convert ../telas/imagem.png -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}')
  [ "$c" != "#000000" ] && { ponto=$p; break; }
done
set -- ${ponto:-470 250}
xdotool mousemove $((fx + $1)) $((fy + $2)) click 1
sleep 1
captura "$janela" "$imagens/clique.png"
xdotool mousemove $((fx + 700)) $((fy + 200))

# A run paused (F6), then stepped (F7) into a frame: the strip follows it.
abre 16_bola.olp
escolhe
xdotool key F5
sleep 1.5
xdotool key F6
sleep 0.5
# Step until the frame's floor is drawn, then on into the ball.
pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}'; }
for _ in $(seq 80); do
  xdotool key F7
  sleep 0.1
  [ "$(pixel $((fx + 320)) $((fy + 443)))" != "#000000" ] && break
done
for _ in $(seq 22); do
  xdotool key F7
  sleep 0.05
done
sleep 1
captura "$janela" "$imagens/pausado.png"
xdotool key Escape
sleep 0.5
# Back to the spiral, for what comes next.
abre 09_espiral.olp
escolhe
xdotool key F5
sleep 2

# Completion: a click on the line of "return 0;" (the example's line 24),
# a new line after it, then the start of a name.
eval "$(xdotool getwindowgeometry --shell "$janela")"
xdotool mousemove $((X + 300)) $((Y + 476)) click 1
xdotool key End Return
xdotool type --delay 60 "cor_"
sleep 1.5
captura "$janela" "$imagens/completar.png"
xdotool key Escape ctrl+z

# The help window.
xdotool key F1
ajuda=$(procura "Ajuda do olpa")
xdotool windowmove --sync "$ajuda" 40 40
sleep 1
captura "$ajuda" "$imagens/ajuda.png"
