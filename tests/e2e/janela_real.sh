#!/usr/bin/env bash
# Drives the real olpa binary as a person would: types into the editor,
# clicks the buttons, answers the "Novo" question with keys, and checks
# chosen pixels of real screenshots. Needs an X display (Xvfb), xdotool and
# ImageMagick's import.
#
# Usage: OLPA_TITULO=TITLE janela_real.sh BIN_DIR   (the build's run tree bin,
# with olpa and olpalib/; the window's title as CMake gives it)
set -uo pipefail

BIN_ORIGEM=${1:?usage: janela_real.sh BIN_DIR}
TITULO=${OLPA_TITULO:?OLPA_TITULO, the title of the window (CMake passes it)}
PRAZO=${OLPA_E2E_PRAZO:-20} # seconds to wait for any expected screen

falhas=0
passos=0
T=$(mktemp -d /tmp/olpa-e2e-XXXXXX)
APP=""

fim() {
  [ -n "$APP" ] && kill "$APP" 2>/dev/null && wait "$APP" 2>/dev/null
  rm -rf "$T"
}
trap fim EXIT

morre() {
  echo "FATAL: $*"
  echo "--- app output ---"
  cat "$T/saida.txt" 2>/dev/null | grep -v dconf | tail -20
  [ -f "$T/tela.ppm" ] && cp "$T/tela.ppm" /tmp/olpa-e2e-ultima-tela.ppm &&
    echo "last screenshot: /tmp/olpa-e2e-ultima-tela.ppm"
  exit 1
}

# A run tree of our own: bin/ (working directory), telas/, exemplos/.
mkdir -p "$T/bin/olpalib" "$T/telas" "$T/exemplos"
cp "$BIN_ORIGEM/olpa" "$T/bin/" || morre "no olpa binary in $BIN_ORIGEM"
cp -r "$BIN_ORIGEM/olpalib/." "$T/bin/olpalib/" || morre "no olpalib"
[ -f "$T/bin/olpalib/init.png" ] || morre "no start picture"
# The start picture as raw pixels, to compare with the screen.
CONVERT=/usr/bin/convert
[ -x "$CONVERT" ] || CONVERT=convert
"$CONVERT" "$T/bin/olpalib/init.png" -background black -flatten -depth 8 ppm:"$T/inicial.ppm" ||
  morre "cannot decode init.png"

# ------------------------------------------------------------------ pixels

# Offset of the pixel data in a binary PPM (P6) and its width.
ppm_cabecalho() { # FILE -> "offset width"
  local f=$1 largura altura maximo
  read -r largura altura maximo < <(head -c 64 "$f" | tr '\n' ' ' | awk '{print $2, $3, $4}')
  local tam_cab
  tam_cab=$(head -c 64 "$f" | awk 'BEGIN{n=0; l=0} {l++; n+=length($0)+1; if (l==3) {print n; exit}}')
  echo "$tam_cab $largura"
}

ppm_pixel() { # FILE X Y -> "R G B"
  local f=$1 x=$2 y=$3 off larg
  read -r off larg < <(ppm_cabecalho "$f")
  od -An -tu1 -j $((off + (y * larg + x) * 3)) -N3 "$f" | awk '{print $1, $2, $3}'
}

captura() { import -window root -depth 8 ppm:"$T/tela.ppm" 2>/dev/null; }

# Pixel of the window content at (x, y), from the last screenshot.
tela() { ppm_pixel "$T/tela.ppm" $((CX + $1)) $((CY + $2)); }

# Points of the image view (picture coordinates) used to recognise a picture.
PONTOS=("5 5" "320 120" "320 240" "100 400" "600 60" "634 474")

mostra_inicial() { # true when the image view shows the start picture at every point
  local p x y
  for p in "${PONTOS[@]}"; do
    read -r x y <<<"$p"
    [ "$(tela $((360 + x)) $y)" = "$(ppm_pixel "$T/inicial.ppm" "$x" "$y")" ] || return 1
  done
}

# The test program's picture: black with a red band 40 pixels high across y 240.
mostra_faixa() {
  [ "$(tela $((360 + 320)) 240)" = "255 0 0" ] && [ "$(tela $((360 + 5)) 5)" = "0 0 0" ] &&
    [ "$(tela $((360 + 600)) 470)" = "0 0 0" ] && [ "$(tela $((360 + 20)) 225)" = "255 0 0" ]
}

# Console background, below where any of these texts reaches.
console_preto() { [ "$(tela 330 470)" = "0 0 0" ] && [ "$(tela 200 465)" = "0 0 0" ]; }
console_vermelho() { [ "$(tela 330 470)" = "255 0 0" ] && [ "$(tela 200 465)" = "255 0 0" ]; }

# espera DESCRIPTION CONDITION...: polls screenshots until every condition holds.
espera() {
  local descricao=$1
  shift
  local limite=$((SECONDS + PRAZO)) c ok
  passos=$((passos + 1))
  while :; do
    captura
    ok=1
    for c in "$@"; do
      $c || {
        ok=0
        break
      }
    done
    if [ $ok = 1 ]; then
      echo "ok   - $descricao"
      return 0
    fi
    if [ $SECONDS -ge $limite ]; then
      echo "FAIL - $descricao (waited ${PRAZO}s; failed: $c)"
      echo "       console pixel: $(tela 330 470); image (320,240): $(tela 680 240); image (5,5): $(tela 365 5)"
      cp "$T/tela.ppm" "/tmp/olpa-e2e-falha-$passos.ppm" 2>/dev/null &&
        echo "       screenshot: /tmp/olpa-e2e-falha-$passos.ppm"
      falhas=$((falhas + 1))
      return 1
    fi
    sleep 0.2
  done
}

confere() { # DESCRIPTION COMMAND...: a plain check
  passos=$((passos + 1))
  if "${@:2}"; then echo "ok   - $1"; else
    echo "FAIL - $1"
    falhas=$((falhas + 1))
  fi
}

vivo() { kill -0 "$APP" 2>/dev/null; }
sem_imagem() { [ ! -s "$T/telas/imagem.png" ]; }
com_imagem() { [ -s "$T/telas/imagem.png" ]; }

# ------------------------------------------------------------------ actions

# Buttons: 64 x 30 at x = 0, 69, 138, 207, 276 of the content.
clica_botao() { # INDEX (0 Novo .. 4 Limpar)
  xdotool mousemove $((CX + $1 * 69 + 32)) $((CY + 15)) click 1
}

# Replaces the editor text. One line, so auto-indent has nothing to do.
digita() {
  xdotool mousemove $((CX + 200)) $((CY + 250)) click 1
  xdotool key --clearmodifiers ctrl+a
  xdotool key --clearmodifiers Delete
  xdotool type --delay 4 -- "$1"
}

rodar() { clica_botao 3; }

# Presses "Novo" and answers its question with a key (y or n).
novo() {
  clica_botao 0
  local d
  d=$(timeout "$PRAZO" xdotool search --sync --onlyvisible --name '^Confirma' | head -1)
  [ -n "$d" ] || morre "the question of Novo did not show"
  xdotool windowfocus --sync "$d" 2>/dev/null
  sleep 0.3
  xdotool key --clearmodifiers "alt+$1"
  # The question is gone before anything is checked.
  local limite=$((SECONDS + PRAZO))
  while xdotool search --onlyvisible --name '^Confirma' >/dev/null 2>&1; do
    [ $SECONDS -ge $limite ] && morre "the question of Novo did not close"
    sleep 0.1
  done
}

# ------------------------------------------------------------------ the session

cd "$T/bin"
GSETTINGS_BACKEND=memory LC_ALL=C.UTF-8 LANGUAGE=C OLPA_TEMPO_LIMITE=1 ./olpa >"$T/saida.txt" 2>&1 &
APP=$!
JANELA=$(timeout "$PRAZO" xdotool search --sync --all --pid "$APP" --name "^${TITULO//./\\.}\$" | head -1)
[ -n "$JANELA" ] || morre "the window did not show"
eval "$(xdotool getwindowgeometry --shell "$JANELA")"
CX=$((X + 10))
CY=$((Y + 10))
echo "# window at $X,$Y; content origin $CX,$CY"

BOM='int main(void) { inicia(); cor(255, 0, 0); traco(40); linha(0, 240, 640, 240); termina(); return 0; }'
ERRADO='int main(void) { inicia() termina(); return 0; }'
QUEBRA='int main(void) { int *p = (int *)16; inicia(); *p = 1; termina(); return 0; }'
INFINITO='int main(void) { inicia(); while (1) { } termina(); return 0; }'

espera "start: start picture, black console" mostra_inicial console_preto

digita "$BOM"
rodar
espera "successful run: its picture, black console" mostra_faixa console_preto
confere "successful run: telas/imagem.png written" com_imagem

digita "$ERRADO"
rodar
espera "compile error: red console, start picture" console_vermelho mostra_inicial

digita "$BOM"
rodar
espera "run after an error: picture, black console" mostra_faixa console_preto

digita "$QUEBRA"
rodar
espera "crashing program: red console, start picture" console_vermelho mostra_inicial
confere "crashing program: the window survives" vivo

digita "$BOM"
rodar
espera "run after a crash: picture, black console" mostra_faixa console_preto

digita "$INFINITO"
rodar
espera "endless program: stopped, red console, start picture" console_vermelho mostra_inicial
confere "endless program: the window survives" vivo

digita "$BOM"
rodar
espera "run after an endless program: picture, black console" mostra_faixa console_preto

clica_botao 4
espera "Limpar: start picture, black console" mostra_inicial console_preto
confere "Limpar: telas/imagem.png deleted" sem_imagem

rodar
espera "run after Limpar: picture" mostra_faixa console_preto

novo n
espera "Novo answered no: picture stays" mostra_faixa console_preto
confere "Novo answered no: telas/imagem.png kept" com_imagem
rodar
espera "Novo answered no: the program is still in the editor" mostra_faixa console_preto

digita "$ERRADO"
rodar
espera "compile error before Novo: red console" console_vermelho mostra_inicial
novo y
espera "Novo answered yes: start picture, black console" mostra_inicial console_preto
confere "Novo answered yes: telas/imagem.png deleted" sem_imagem
# The welcome text is a lone comment: it compiles, draws nothing.
rodar
espera "Novo answered yes: the welcome text runs without error" mostra_inicial console_preto
confere "the window is still alive at the end" vivo

echo "$((passos - falhas)) passed, $falhas failed"
[ $falhas -eq 0 ]
