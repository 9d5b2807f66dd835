#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real olpa binary driven as a person would, in a run tree of its own:
# types into the editor, clicks the buttons, answers "Novo" with a key, and
# checks chosen pixels of real screenshots. Needs an X display (Xvfb),
# xdotool and ImageMagick.
# Usage: OLPA_TITULO=TITLE janela_real.sh BIN_DIR LAYOUT_H   (the build's bin,
# with olpa and olpalib/; the header with the window's layout numbers)
set -uo pipefail
eval "$(sed -n 's/^constexpr int \(OLPA_[A-Z_]*\) = \([0-9]*\);.*/\1=\2/p' "$2")"
BT=$(((OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5))
IX=$OLPA_IMAGEM_X
PRAZO=${OLPA_E2E_PRAZO:-20} # seconds to wait for any expected screen
T=$(mktemp -d /tmp/olpa-e2e-XXXXXX)
APP=""
falhas=0
passos=0
trap '[ -n "$APP" ] && kill $APP 2>/dev/null; rm -rf "$T"' EXIT
morre() { echo "FATAL: $*"; tail -20 "$T/saida.txt"; exit 1; }

mkdir -p "$T/bin/olpalib" "$T/telas" "$T/exemplos"
cp "$1/olpa" "$T/bin/" && cp -r "$1/olpalib/." "$T/bin/olpalib/" || morre "no olpa in $1"
convert "$T/bin/olpalib/init.png" -background black -flatten -depth 8 "$T/inicial.ppm"

# "R G B" of a pixel of a binary PPM made by ImageMagick ("P6\nW H\n255\n").
pixel() {
  local cab largura
  cab=$(head -3 "$1")
  largura=$(sed -n 2p <<<"$cab" | cut -d' ' -f1)
  od -An -tu1 -j $((${#cab} + 1 + ($3 * largura + $2) * 3)) -N3 "$1" | xargs
}
tela() { pixel "$T/tela.ppm" $((CX + $1)) $((CY + $2)); } # the window's content at (x, y)
PONTOS=("5 5" "320 240" "634 474")
for p in "${PONTOS[@]}"; do INICIAL+=("$(pixel "$T/inicial.ppm" $p)"); done
mostra_inicial() {
  for i in 0 1 2; do
    set -- ${PONTOS[$i]}
    [ "$(tela $((IX + $1)) $2)" = "${INICIAL[$i]}" ] || return 1
  done
}
mostra_faixa() { [ "$(tela $((IX + 320)) 240)" = "255 0 0" ] && [ "$(tela $((IX + 5)) 5)" = "0 0 0" ]; }
# The welcome program's picture: a yellow line across the middle.
mostra_boas_vindas() { [ "$(tela $((IX + 320)) 240)" = "255 200 0" ] && [ "$(tela $((IX + 5)) 5)" = "0 0 0" ]; }
console() { tela $((OLPA_COLUNA_LARGURA - 10)) $((OLPA_CONSOLE_Y + OLPA_CONSOLE_ALTURA - 10)); }
console_preto() { [ "$(console)" = "0 0 0" ]; }
console_vermelho() { [ "$(console)" = "255 0 0" ]; }
sem_imagem() { [ ! -s "$T/telas/imagem.png" ]; }
vivo() { kill -0 "$APP" 2>/dev/null; }

# espera DESCRIPTION CONDITION...: screenshots until every condition holds.
espera() {
  local descricao=$1 limite=$((SECONDS + PRAZO)) c
  shift
  passos=$((passos + 1))
  while :; do
    import -window root -depth 8 "$T/tela.ppm" 2>/dev/null
    for c in "$@"; do $c || break; done
    if $c; then echo "ok   - $descricao" && return; fi
    if [ $SECONDS -ge $limite ]; then
      cp "$T/tela.ppm" "/tmp/olpa-e2e-falha-$passos.ppm"
      echo "FAIL - $descricao ($c; screenshot /tmp/olpa-e2e-falha-$passos.ppm)"
      falhas=$((falhas + 1)) && return
    fi
    sleep 0.1
  done
}

botao() { # 0 Novo .. 4 Limpar
  xdotool mousemove $((CX + $1 * (BT + OLPA_ESPACO) + BT / 2)) $((CY + OLPA_BT_ALTURA / 2)) click 1
}
rodar() { # replaces the editor text (one line: auto-indent has nothing to do) and runs it
  xdotool mousemove $((CX + 200)) $((CY + OLPA_EDITOR_Y + 100)) click 1 key --clearmodifiers ctrl+a Delete
  xdotool type --delay 1 -- "$1"
  botao 3
}

cd "$T/bin"
GSETTINGS_BACKEND=memory XDG_DATA_HOME="$T/dados" LC_ALL=C.UTF-8 LANGUAGE=C ./olpa >"$T/saida.txt" 2>&1 &
APP=$!
JANELA=$(timeout "$PRAZO" xdotool search --sync --all --pid "$APP" --name "^${OLPA_TITULO//./\\.}\$" | head -1)
[ -n "$JANELA" ] || morre "the window did not show"
eval "$(xdotool getwindowgeometry --shell "$JANELA")"
CX=$((X + OLPA_BORDA)) CY=$((Y + OLPA_BORDA))

espera "start: start picture, black console" mostra_inicial console_preto
rodar 'int main(void) { inicia(); cor(255, 0, 0); traco(40); linha(0, 240, 640, 240); termina(); }'
espera "run: its picture, black console" mostra_faixa console_preto
rodar 'int main(void) { inicia() termina(); }'
espera "compile error: red console, start picture" console_vermelho mostra_inicial
botao 4
espera "Limpar: black console, imagem.png gone" console_preto mostra_inicial sem_imagem vivo
botao 0
D=$(timeout "$PRAZO" xdotool search --sync --onlyvisible --name '^Confirma' | head -1)
xdotool windowfocus --sync "$D" sleep 0.3 key --clearmodifiers alt+s
while xdotool search --onlyvisible --name '^Confirma' >/dev/null; do sleep 0.05; done
botao 3 # the welcome text now: a program that draws
espera "Novo answered yes (Sim) with a key, then Rodar: black console, the welcome picture" console_preto mostra_boas_vindas

# Runs that last. The button as it reads "Rodar", the pointer away from it.
xdotool mousemove 0 0 sleep 0.5
import -window root -depth 8 "$T/tela.ppm"
BOTAO="${BT}x${OLPA_BT_ALTURA}+$((CX + 3 * (BT + OLPA_ESPACO)))+$CY"
convert "$T/tela.ppm" -crop "$BOTAO" +repage "$T/rodar.ppm"
le_rodar() {
  convert "$T/tela.ppm" -crop "$BOTAO" +repage "$T/botao.ppm"
  [ "$(compare -metric AE "$T/botao.ppm" "$T/rodar.ppm" null: 2>&1)" = 0 ]
}
le_parar() { ! le_rodar; }
# "[olpa] rodando…" is the console's only grey text.
rodando() {
  [ "$(convert "$T/tela.ppm" -crop "${OLPA_COLUNA_LARGURA}x${OLPA_CONSOLE_ALTURA}+$CX+$((CY + OLPA_CONSOLE_Y))" \
    +repage -fill black +opaque 'rgb(160,160,160)' -fill white -opaque 'rgb(160,160,160)' \
    -format '%[fx:int(mean*w*h+0.5)]' info:)" -gt 20 ]
}
parado() { ! rodando; }
desenhou() { [ "$(tela $((IX + 320)) 240)" = "0 200 255" ]; } # every line crosses the middle
ms() { date +%s%3N; }

rodar 'int main(void) { int i = 0; inicia(); cor(0, 200, 255); for (;;) linha(i++ % 640, 0, 640 - i % 640, 480); }'
xdotool mousemove 0 0
espera "endless program: [olpa] rodando…, Parar, the canvas as drawn" rodando le_parar desenhou console_preto
FILHO=$(pgrep -n -P "$APP") # the newest: the first is the zygote
# Timed from the moment xdotool has sent the click: a figure, not a check.
xdotool mousemove $((CX + 3 * (BT + OLPA_ESPACO) + BT / 2)) $((CY + OLPA_BT_ALTURA / 2)) sleep 0.2 \
  click 1 exec sh -c "date +%s%3N >'$T/clique'"
while kill -0 "$FILHO" 2>/dev/null; do sleep 0.002; done
echo "# Parar clicked -> the program's process gone: $(($(ms) - $(cat "$T/clique"))) ms"
xdotool mousemove 0 0
espera "Parar: stopped, Rodar again, black console, the canvas kept" parado le_rodar console_preto desenhou
rodar 'int main(void) { inicia(); cor(255, 0, 0); traco(40); linha(0, 240, 640, 240); termina(); }'
espera "then another program runs as ever" mostra_faixa console_preto

# A double click is one press: the program it started goes on; Esc stops it.
rodar 'int main(void) { int i = 0; inicia(); cor(0, 200, 255); for (;;) linha(i++ % 640, 0, 640 - i % 640, 480); }'
xdotool click --delay 80 1 mousemove 0 0
sleep 0.5
espera "double click on Rodar: it runs" rodando le_parar
xdotool mousemove $((CX + 200)) $((CY + OLPA_EDITOR_Y + 100)) key Escape mousemove 0 0
espera "Esc: stopped" parado le_rodar console_preto

# Drawn with a pause halfway: half drawn in a screenshot taken during the run.
meio() { [ "$(tela $((IX + 20)) 240)" = "255 255 0" ] && [ "$(tela $((IX + 590)) 240)" = "0 0 0" ]; }
inteiro() { [ "$(tela $((IX + 590)) 240)" = "255 255 0" ]; }
rodar 'int main(void) { int i; inicia(); cor(255, 255, 0); traco(10); for (i = 0; i < 20; i++) { linha(20 + i * 30, 0, 20 + i * 30, 480); espera(i == 9 ? 1500 : 0); } termina(); }'
xdotool mousemove 0 0
espera "espera: the canvas half drawn during the run" meio le_parar
cp "$T/tela.ppm" "$T/meio.ppm"
espera "espera: the whole picture at the end" inteiro le_rodar console_preto

echo "$((passos - falhas)) passed, $falhas failed"
[ $falhas -eq 0 ]
