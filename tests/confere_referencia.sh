#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The reference's lists of functions agree with the table of learner
# functions: every function of the table is in docs/referencia.md, and every
# function row of its tables ("| `name(...)` |") is in the table.
# Usage: confere_referencia.sh GERA_AJUDA REFERENCIA.md
set -euo pipefail
gera=$1
referencia=$2
mapfile -t tabela < <("$gera" lista | cut -f1)
[ ${#tabela[@]} -gt 0 ] || { echo "confere_referencia: a tabela está vazia" >&2; exit 1; }
erros=0
for nome in "${tabela[@]}"; do
  if ! grep -qE "\`$nome(\(|\`)" "$referencia"; then
    echo "a referência não fala de $nome" >&2
    erros=1
  fi
done
mapfile -t linhas < <(grep -oE '^\| `[a-z_]+\(' "$referencia" | sed -E 's/^\| `([a-z_]+)\(/\1/' | sort -u)
for nome in "${linhas[@]}"; do
  if ! printf '%s\n' "${tabela[@]}" | grep -x "$nome" >/dev/null; then # -q would cut the pipe (pipefail)
    echo "a referência lista $nome, que não está na tabela de funções" >&2
    erros=1
  fi
done
[ $erros -eq 0 ] && echo "referência: ${#tabela[@]} funções, ${#linhas[@]} linhas nas tabelas, de acordo"
exit $erros
