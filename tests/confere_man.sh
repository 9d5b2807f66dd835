#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages, made from the programs' --ajuda, list every option each
# program accepts: every one its command line looks for in the source, and
# every one its --ajuda shows; olpa-rodar takes every option its page lists;
# --versao says the project's version.
# Usage: confere_man.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
construcao=$1 fonte=$2 versao=$3
bin=$construcao/olpa/bin
falhas=0
falha() { echo "FALHOU: $*" >&2 && falhas=$((falhas + 1)); }

# The options a page describes: the tags of its .TP entries.
do_manual() {
  zcat "$construcao/man/$1.1.gz" | sed -n '/^\.TP$/{n;p}' | sed 's/\\f[BIR]//g; s/\\-/-/g' |
    grep -oE -- '(^|[ ,])--?[a-z][a-z-]*|^--$' | tr -d ' ,' | sort -u
}
# The options a source file compares its arguments with.
do_codigo() {
  grep -hoE -- '(a == |strcmp\(argv\[i\], )"--?[a-z-]*"' "$@" | grep -oE -- '"[^"]*"' | tr -d '"' | grep -vx -- - | sort -u
}
# The options --ajuda lists, one entry a line.
da_ajuda() {
  "$bin/$1" --ajuda | grep -E '^  -' | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*|^  --( |$)' | tr -d ' ,' | sort -u
}

for programa in olpa olpa-rodar; do
  case $programa in
    olpa) codigo=("$fonte/src/olpa/olpa_opcoes.cpp") ;;
    olpa-rodar) codigo=("$fonte/src/olpa-rodar/opcoes.cpp") ;;
  esac
  manual=$(do_manual $programa)
  [ "$(echo "$manual" | wc -l)" -ge 4 ] || falha "$programa: o manual quase não tem opções"
  for o in $(do_codigo "${codigo[@]}") $(da_ajuda $programa); do
    grep -qxF -- "$o" <<<"$manual" || falha "$programa: o manual não tem $o"
  done
  [ "$("$bin/$programa" --versao)" = "$programa $versao" ] || falha "$programa --versao"
  zcat "$construcao/man/$programa.1.gz" | grep -qF "\"olpa $versao\"" || falha "$programa: versão do manual"
done
# Whatever the page lists, olpa-rodar knows.
for o in $(do_manual olpa-rodar); do
  if "$bin/olpa-rodar" "$o" 2>&1 </dev/null | grep -q "opção desconhecida"; then
    falha "olpa-rodar não aceita $o, que o manual lista"
  fi
done
[ $falhas -eq 0 ] || exit 1
echo "manuais: 2 passed, 0 failed"
