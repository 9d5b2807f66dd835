#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The learner's code survives a killed window: the real olpa, typed into
# with xdotool, killed with SIGKILL in the middle of typing (and right after
# a Rodar), started again; it offers what was not saved, "Sim" brings it
# back, "Não" and a save remove it. Needs an X display (Xvfb), xdotool and
# ImageMagick.
# Usage: OLPA_TITULO=TITLE recuperacao.sh BIN_DIR LAYOUT_H
set -uo pipefail
eval "$(sed -n 's/^constexpr int \(OLPA_[A-Z_]*\) = \([0-9]*\);.*/\1=\2/p' "$2")"
IX=$OLPA_IMAGEM_X
PRAZO=${OLPA_E2E_PRAZO:-20} # seconds to wait for anything expected
T=$(mktemp -d /tmp/olpa-recuperacao-XXXXXX)
APP=""
falhas=0
passos=0
trap '[ -n "$APP" ] && kill -9 $APP 2>/dev/null; rm -rf "$T"' EXIT
morre() { echo "FATAL: $*"; tail -20 "$T/saida.txt"; exit 1; }
mkdir -p "$T/bin/olpalib" "$T/telas" "$T/exemplos"
cp "$1/olpa" "$T/bin/" && cp -r "$1/olpalib/." "$T/bin/olpalib/" || morre "no olpa in $1"
export XDG_DATA_HOME=$T/dados XDG_CONFIG_HOME=$T/config GSETTINGS_BACKEND=memory LANG=C.UTF-8
unset LC_ALL LANGUAGE
COPIAS=$XDG_DATA_HOME/olpa/recuperacao
VERMELHO='int main(void) { inicia(); cor(255, 0, 0); traco(40); linha(0, 240, 640, 240); termina(); }'
AZUL='int main(void) { inicia(); cor(0, 0, 255); traco(40); linha(0, 240, 640, 240); termina(); }'

ok() { passos=$((passos + 1)) && echo "ok   - $1"; }
# espera DESCRIPTION COMMAND...: until the command succeeds.
espera() {
  local descricao=$1 limite=$((SECONDS + PRAZO))
  shift
  passos=$((passos + 1))
  until "$@"; do
    if [ $SECONDS -ge $limite ]; then
      echo "FAIL - $descricao" && falhas=$((falhas + 1)) && return 1
    fi
    sleep 0.1
  done
  echo "ok   - $descricao"
}
# The text a recovery copy holds (one line here), as the key file has it.
tem_texto() { grep -qxF "texto=$2" "$1" 2>/dev/null; }
copia_de() { echo "$COPIAS/janela-$1.ini"; }
so_a_copia_de() { [ "$(ls "$COPIAS")" = "janela-$1.ini" ]; }
sem_copias() { [ -z "$(ls "$COPIAS" 2>/dev/null)" ]; }
pixel() { # X Y: "R G B" of the window's content on screen
  import -window root -depth 8 -crop "1x1+$((CX + $1))+$((CY + $2))" "$T/p.ppm" 2>/dev/null &&
    od -An -tu1 -j "$(($(head -c 20 "$T/p.ppm" | head -3 | wc -c)))" -N3 "$T/p.ppm" | xargs
}
mostra() { [ "$(pixel $((IX + 320)) 240)" = "$1" ]; } # the picture's middle
abre() {                                              # [ENV...]: starts olpa, finds its window
  (cd "$T/bin" && exec env "$@" ./olpa >>"$T/saida.txt" 2>&1) &
  APP=$!
  JANELA=$(timeout "$PRAZO" xdotool search --sync --all --pid "$APP" --name "^${OLPA_TITULO//./\\.}\$" | head -1)
  [ -n "$JANELA" ] || morre "the window did not show"
  eval "$(xdotool getwindowgeometry --shell "$JANELA")"
  CX=$((X + OLPA_BORDA)) CY=$((Y + OLPA_BORDA))
}
mata() { kill -9 "$APP" && wait "$APP" 2>/dev/null; APP=""; }
escreve() { # replaces the editor's text by typing
  xdotool windowfocus --sync "$JANELA" mousemove $((CX + 200)) $((CY + OLPA_EDITOR_Y + 100)) click 1 \
    key --clearmodifiers ctrl+a Delete
  xdotool type --delay 1 -- "$1"
}
responde() { # KEY: answers the question "Confirmação"
  local d
  d=$(timeout "$PRAZO" xdotool search --sync --onlyvisible --name '^Confirma' | head -1)
  [ -n "$d" ] || { echo "FAIL - no question" && falhas=$((falhas + 1)) && return; }
  ok "the question shows"
  xdotool windowfocus --sync "$d" sleep 0.3 key --clearmodifiers "$1"
}

# Typed, and kept a moment after typing stops.
abre
escreve "$VERMELHO"
PRIMEIRA=$APP
espera "a copy of what was typed, once typing stops" tem_texto "$(copia_de $PRIMEIRA)" "$VERMELHO"
# Killed while typing on.
xdotool type --delay 40 -- ' // mais, que se perde' &
digitando=$!
sleep 0.3
mata
wait $digitando 2>/dev/null
so_a_copia_de $PRIMEIRA && tem_texto "$(copia_de $PRIMEIRA)" "$VERMELHO" &&
  ok "after SIGKILL: the copy, whole, and nothing else" ||
  { echo "FAIL - after SIGKILL: $(ls "$COPIAS")" && falhas=$((falhas + 1)); }

# Started again: offered; "Sim" brings it back, as this window's own copy.
abre
responde alt+s
espera "Sim: this window's copy holds the text, the old one is gone" \
  eval "so_a_copia_de $APP && tem_texto $(copia_de $APP) '$VERMELHO'"
xdotool windowfocus --sync "$JANELA" key F5
espera "Rodar draws the program recovered" mostra "255 0 0"
# A save removes the copy.
xdotool key ctrl+s
D=$(timeout "$PRAZO" xdotool search --sync --onlyvisible --name '^Salvar$' | head -1)
xdotool windowfocus --sync "$D" sleep 0.5 key Return
espera "Salvar: the file holds the text" eval "[ \"\$(cat '$T/exemplos/meuprojeto.olp')\" = '$VERMELHO' ]"
espera "Salvar: no copy left" sem_copias
mata

# Kept at Rodar (typing stopping would keep it only after 10 minutes here).
abre OLPA_RECUPERA_ESPERA_MS=600000
responde_nada=$(ls "$COPIAS" 2>/dev/null)
[ -z "$responde_nada" ] && ok "after a save: nothing to offer" || { echo "FAIL - left: $responde_nada" && falhas=$((falhas + 1)); }
escreve "$AZUL"
xdotool key F5
espera "Rodar draws the new program" mostra "0 0 255"
tem_texto "$(copia_de $APP)" "$AZUL" && ok "Rodar kept a copy" || { echo "FAIL - no copy at Rodar" && falhas=$((falhas + 1)); }
SEGUNDA=$APP
mata
# "Não" removes it, and the file saved stays what it was.
abre
responde alt+n
espera "Não: the copy is gone" sem_copias
xdotool windowfocus --sync "$JANELA" key F5
espera "Rodar draws the welcome program, not the one refused" mostra "255 200 0"
[ ! -e "$(copia_de $SEGUNDA)" ] && [ "$(cat "$T/exemplos/meuprojeto.olp")" = "$VERMELHO" ] &&
  ok "the file saved is untouched" || { echo "FAIL - file or copy" && falhas=$((falhas + 1)); }
mata

echo "$((passos - falhas)) passed, $falhas failed"
[ $falhas -eq 0 ]
