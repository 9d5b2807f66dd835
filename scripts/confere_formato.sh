#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the C++ sources are formatted by the project's .clang-format,
# and that every source file (C++, shell, CMake) names its licence on its
# first line (the second, after a "#!" line); with --corrige, formats them
# and adds the missing licence lines in place instead.
# Usage: scripts/confere_formato.sh [--corrige]
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
cd "$raiz"
LICENCA="SPDX-License-Identifier: GPL-3.0-or-later"

# The licence line: "// ..." in C++, "# ..." elsewhere.
mapfile -t todas < <({
  find src tests benchmarks ferramentas scripts -name '*.cpp' -o -name '*.h' -o -name '*.sh' \
    -o -name '*.cmake' -o -name CMakeLists.txt
  ls CMakeLists.txt ./*.cmake dados/*.sh .ci/run
} | sed 's|^\./||' | sort -u)
sem_licenca=()
for f in "${todas[@]}"; do
  case $f in *.cpp | *.h) linha="// $LICENCA" ;; *) linha="# $LICENCA" ;; esac
  n=1
  [ "$(head -c 2 "$f")" = "#!" ] && n=2
  [ "$(sed -n "${n}p" "$f")" = "$linha" ] && continue
  if [ "${1:-}" = "--corrige" ]; then
    if [ $n = 1 ]; then sed -i "1i $linha" "$f"; else sed -i "1a $linha" "$f"; fi
  else
    sem_licenca+=("$f")
  fi
done

formatador=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$formatador" ] || { echo "formato: falta o clang-format (scripts/instala-dependencias.sh --testes)" >&2; exit 1; }
mapfile -t fontes < <(find src tests benchmarks ferramentas -name '*.cpp' -o -name '*.h' | sort)
if [ "${1:-}" = "--corrige" ]; then
  "$formatador" --style=file -i "${fontes[@]}"
  exit 0
fi
if [ ${#sem_licenca[@]} -gt 0 ]; then
  echo "formato: sem a linha \"$LICENCA\": ${sem_licenca[*]}" >&2
  echo "formato: scripts/confere_formato.sh --corrige a acrescenta" >&2
  exit 1
fi
# clang-format names each place that differs, "file:line:col: error: ...".
if ! "$formatador" --style=file --dry-run -Werror "${fontes[@]}"; then
  echo "formato: arquivos fora do formato; scripts/confere_formato.sh --corrige formata" >&2
  exit 1
fi
echo "formato: ${#fontes[@]} arquivos formatados, ${#todas[@]} com a licença"
