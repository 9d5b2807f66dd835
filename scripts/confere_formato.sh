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
# clang-format names each place that differs, "file:line:col: error: ...".
if ! "$formatador" --style=file --dry-run -Werror "${fontes[@]}"; then
  echo "formato: arquivos fora do formato; scripts/confere_formato.sh --corrige formata" >&2
  exit 1
fi
echo "formato: ${#fontes[@]} arquivos conferidos"
