#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the reference's picture of a class report: grades part of the test
# class (tests/casos/turma) with the real olpa-rodar --compara, opens the
# page in headless chromium and keeps the top of it in
# docs/imagens/relatorio_turma.png. Prints the run's summary, as the
# reference shows it.
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
davi 04_chao_torto
eva 05_esqueceu_ponto_e_virgula
felipe 06_laco_sem_fim
gabi 07_ponteiro_nulo
heitor 08_sem_termina
LISTA
cd "$tmp/turma"
set +e
"$rodar" --compara casa.olp --tempo-limite 1 ana.olp bruno.olp carla.olp davi.olp eva.olp \
  felipe.olp gabi.olp heitor.olp
set -e
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$tmp/perfil" --hide-scrollbars --window-size=1200,2000 \
  --screenshot="$tmp/pagina.png" "file://$tmp/turma/relatorio/relatorio.html" 2>/dev/null
mkdir -p "$raiz/docs/imagens"
convert "$tmp/pagina.png" -crop 1200x1960+0+0 +repage -resize 900x -strip \
  "$raiz/docs/imagens/relatorio_turma.png"
echo "docs/imagens/relatorio_turma.png" >&2
