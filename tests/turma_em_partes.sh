#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A class graded in three parts at once by GNU parallel (--parte K/3), then
# merged (--junta), gives the report the whole class graded at once gives:
# the CSV and every picture byte for byte, the page but for the time it was
# made. The parts really are parts: each has some of the files, none twice.
# Usage: turma_em_partes.sh BIN_DIR CLASS_DIR
set -euo pipefail
rodar="$1/olpa-rodar"
turma="$2"
command -v parallel >/dev/null || { echo "falta o GNU parallel (scripts/instala-dependencias.sh)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin" "$tmp/telas"
cp "$turma"/*.olp "$tmp/bin/"
cd "$tmp/bin"
mapfile -t arquivos < <(ls -- *.olp | grep -vx modelo.olp)
falha() { echo "FALHA: $*"; exit 1; }

# Not every file is "igual": exit 1 is the expected one.
set +e
"$rodar" --compara modelo.olp --relatorio inteira --tempo-limite 1 -j 1 -- "${arquivos[@]}" >inteira.txt
[ $? = 1 ] || falha "a turma inteira: $(cat inteira.txt)"
parallel -q "$rodar" --compara modelo.olp --relatorio 'parte{}' --parte '{}/3' --tempo-limite 1 \
  -j 1 -- "${arquivos[@]}" ::: 1 2 3 >partes.txt
[ $? -le 3 ] || falha "as partes: $(cat partes.txt)"
"$rodar" --junta --relatorio junta parte1 parte2 parte3 >junta.txt
[ $? = 1 ] || falha "--junta: $(cat junta.txt)"
set -e

linhas() { tail -n +2 "$1/relatorio.csv" | wc -l; }
soma=0
for p in parte1 parte2 parte3; do
  n=$(linhas "$p")
  [ "$n" -gt 0 ] || falha "$p não tem arquivos"
  soma=$((soma + n))
done
[ "$soma" = "${#arquivos[@]}" ] || falha "as partes têm $soma arquivos, a turma ${#arquivos[@]}"
cmp inteira/relatorio.csv junta/relatorio.csv || falha "o CSV juntado não é o da turma inteira"
[ "$(ls inteira/figuras)" = "$(ls junta/figuras)" ] || falha "as figuras não são as mesmas"
for f in inteira/figuras/*; do
  cmp -s "$f" "junta/figuras/${f##*/}" || falha "a figura ${f##*/} difere"
done
diff <(grep -v '^<footer>' inteira/relatorio.html) <(grep -v '^<footer>' junta/relatorio.html) >/dev/null ||
  falha "a página juntada não é a da turma inteira"
# The summary printed is the whole class's too.
[ "$(tail -n 4 inteira.txt)" = "$(tail -n 4 junta.txt | sed 's|junta/|inteira/|')" ] ||
  falha "o resumo juntado difere: $(tail -n 4 junta.txt)"
echo "turma em partes: ${#arquivos[@]} arquivos em 3 partes, juntadas iguais à turma inteira"
