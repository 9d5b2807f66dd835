#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the reference's pictures of a class report: grades part of the test
# class (tests/casos/turma) under learners' names with the real olpa-rodar
# --compara, opens the page in headless chromium and keeps the top of it
# (summary and table) in docs/imagens/relatorio_turma.png and one learner's
# card, with the picture of the differences, in docs/imagens/relatorio_ficha.png.
# Prints the run's summary, as the reference shows it.
# Usage: scripts/captura_relatorio.sh [BUILD_DIR]   (default: build)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
construcao="$(cd "${1:-$raiz/build}" && pwd)"
rodar="$construcao/olpa/bin/olpa-rodar"
[ -x "$rodar" ] || { echo "captura_relatorio: falta $rodar (compile antes)" >&2; exit 1; }
command -v chromium >/dev/null || { echo "captura_relatorio: falta o chromium" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/turma"
turma="$raiz/tests/casos/turma"
cp "$turma/modelo.olp" "$tmp/turma/casa.olp"
# A class with learners' names, as a teacher would collect it.
while read -r aluno caso; do
  cp "$turma/$caso.olp" "$tmp/turma/$aluno.olp"
done <<'LISTA'
ana 03_telhado_azul
bruno 01_certo
carla 02_com_funções
davi 15_um_ponto_para_a_direita
eva 05_esqueceu_ponto_e_virgula
felipe 06_laco_sem_fim
gabi 18_sem_telhado
heitor 19_com_porta
iara 17_sol_com_seno
joao 20_copia_do_03
LISTA
printf 'int main(void) {\n  inicia();\n  termina();\n  return 0;\n}\n' >"$tmp/turma/lara.olp"
cd "$tmp/turma"
set +e
"$rodar" --compara casa.olp --tempo-limite 1 ana.olp bruno.olp carla.olp davi.olp eva.olp \
  felipe.olp gabi.olp heitor.olp iara.olp joao.olp lara.olp
set -e
foto() { # URL WIDTHxHEIGHT OUTPUT
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$tmp/perfil" --hide-scrollbars --window-size="$2" \
    --screenshot="$3" "$1" 2>/dev/null
}
pagina="$tmp/turma/relatorio/relatorio.html"
foto "file://$pagina" 1200,1500 "$tmp/pagina.png"
# Gabi's card alone (the page with all else hidden): what was missing, marked.
sed 's|</head>|<style>header, main > :not(#fichas), #fichas > :not(#a7), footer { display: none !important; }</style></head>|' \
  "$pagina" >"$tmp/turma/relatorio/ficha.html"
foto "file://$tmp/turma/relatorio/ficha.html" 1200,1200 "$tmp/ficha.png"
mkdir -p "$raiz/docs/imagens"
convert "$tmp/pagina.png" -resize 900x -strip "$raiz/docs/imagens/relatorio_turma.png"
convert "$tmp/ficha.png" -trim -bordercolor white -border 10 -resize 900x -strip \
  "$raiz/docs/imagens/relatorio_ficha.png"
echo "docs/imagens/relatorio_turma.png docs/imagens/relatorio_ficha.png" >&2
