#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The common errors agree everywhere: the reference's section "Erros comuns"
# is what gera-ajuda makes of dados/erros_comuns.ini and of the analyser's
# explanations with a cause (dados/avisos.ini; the help window reads the same
# files), and every message there is what a case's console shows, line for
# line ("…" standing for any text).
# Usage: confere_erros_comuns.sh GERA_AJUDA ERROS.ini[,AVISOS.ini] REFERENCIA.md CASOS [--corrige]
# (--corrige writes the section into the reference instead of checking it).
set -euo pipefail
gera=$1 referencia=$3 casos=$4
IFS=, read -r -a ini <<<"$2"
inicio='<!-- erros comuns -->' fim='<!-- fim dos erros comuns -->'
feita=$("$gera" erros "${ini[@]}")
atual=$(sed -n "/^$inicio\$/,/^$fim\$/p" "$referencia" | sed '1d;$d')
if [ "${5:-}" = "--corrige" ]; then
  { sed -n "1,/^$inicio\$/p" "$referencia"; printf '%s\n' "$feita"; sed -n "/^$fim\$/,\$p" "$referencia"; } \
    >"$referencia.novo" && mv "$referencia.novo" "$referencia"
  exit 0
fi
erros=0
if [ "$atual" != "$feita" ]; then
  echo "a seção Erros comuns da referência não é a de ${ini[*]} (confere_erros_comuns.sh ... --corrige)" >&2
  diff <(printf '%s\n' "$feita") <(printf '%s\n' "$atual") | head -20 >&2
  erros=1
fi
n=0
consoles=$(find "$casos" -name '*.console' -exec cat {} +)
while IFS= read -r linha; do
  n=$((n + 1))
  # The message as a pattern of a whole line: "…" matches anything.
  padrao=$(printf '%s' "$linha" | sed -e 's/[]\/$*.^[]/\\&/g' -e 's/…/.*/g')
  if ! grep -qx -e "$padrao" <<<"$consoles"; then
    echo "nenhum caso mostra a mensagem: $linha" >&2
    erros=1
  fi
done < <("$gera" mensagens "${ini[@]}" | sed 's/\\n/\n/g')
[ $erros -eq 0 ] && echo "erros comuns: $n mensagens, todas de casos; a referência está de acordo"
exit $erros
