#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Nothing English reaches a learner: in what every case shows (consoles, the
# terminal), no line of the system's own ("[erro]", "[aviso]", "[olpa]") has
# a word of the compiler's or the
# analyser's English wordings (tcc's formats, clang's in dados/avisos.ini), nor
# the general words said of a finding no record knows.
# Usage: confere_portugues.sh CASOS FORMATOS_DO_TCC AVISOS.ini
set -euo pipefail
casos=$1 formatos=$2 avisos=$3
# Words of four letters or more of the English wordings, but those that are
# C's or Portuguese too.
# (Not the names of captures, "(?<nome>", nor the learner functions'.)
palavras=$( { grep -v '^#' "$formatos"; sed -n 's/^padrao=//p' "$avisos"; } |
  sed -E 's/\(\?<[a-z_]+>//g' | grep -oE '[A-Za-z]{4,}' | sort -u |
  grep -vxE 'traco|escala|espera|opacidade|cor_e_opacidade|inicia|termina|linha|free|malloc|comment' |
  grep -vxE 'break|case|char|const|continue|default|define|double|elif|else|endif|endr|enum|error|float|ifdef|ifndef|include|line|long|macro|main|pragma|return|short|signed|sizeof|static|struct|switch|typedef|union|unsigned|void|while|warning|zero|escape|pack|symtab|vstack|cleanup|mode|Generic|Static|assert|fill|popsection|pushsection|align|strcmp|strcpy|printf|scanf|sqrt|math|string|stdio|total|real|normal|final|local|animal|ideal|mais|menos|para|pode|todo|tudo|nada|sobre|agora|isto|isso|este|esta|esse|essa|como|mesmo|onde|quando|valor|vale|cada|numa|desde|entre|antes|depois' |
  paste -sd'|')
padrao="\\b($palavras)\\b"
erros=0
while IFS= read -r -d '' arquivo; do
  while IFS= read -r linha; do
    echo "${arquivo#"$casos"/}: $linha" >&2
    erros=$((erros + 1))
  done < <(grep -E '^(\[erro|\[aviso\]|\[olpa\])' "$arquivo" |
    grep -E "$padrao|o C estranhou este trecho|o C não entendeu este trecho|o compilador não aceitou este trecho" || true)
done < <(find "$casos" \( -name '*.console' -o -name '*.terminal' -o -name saida \) -print0)
[ $erros -eq 0 ] && echo "português: nenhuma palavra dos textos em inglês nas mensagens dos casos"
exit $((erros > 0))
