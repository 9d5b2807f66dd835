#!/usr/bin/env bash
# Checks that the C++ sources are formatted by the project's .clang-format;
# with --corrige, formats them in place instead.
# Usage: scripts/confere_formato.sh [--corrige]
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
cd "$raiz"
formatador=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$formatador" ] || { echo "formato: falta o clang-format (scripts/instala-dependencias.sh)" >&2; exit 1; }

mapfile -t fontes < <(find src tests benchmarks ferramentas -name '*.cpp' -o -name '*.h' | sort)
if [ "${1:-}" = "--corrige" ]; then
  "$formatador" --style=file -i "${fontes[@]}"
  exit 0
fi
# One line per file that is not formatted, and its first differences.
falhas=0
for f in "${fontes[@]}"; do
  if ! diferenca=$(diff -u "$f" <("$formatador" --style=file "$f")); then
    echo "formato: $f não está formatado (scripts/confere_formato.sh --corrige):"
    head -20 <<<"$diferenca"
    falhas=$((falhas + 1))
  fi
done
[ "$falhas" -eq 0 ] || exit 1
echo "formato: ${#fontes[@]} arquivos conferidos"
