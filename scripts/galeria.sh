#!/usr/bin/env bash
# Draws the documentation's gallery from the pictures the build drew of the
# examples with the command-line runner (olpalib/ajuda/exemplos/, the same
# ones the help window and "Abrir" show): a 320 x 240 copy of each in
# docs/imagens/<example>.png.
# Usage: scripts/galeria.sh [BUILD_DIR]   (default: build)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
construcao="$(cd "${1:-$raiz/build}" && pwd)"
figuras="$construcao/olpa/bin/olpalib/ajuda/exemplos"
[ -d "$figuras" ] || { echo "galeria: falta $figuras (compile antes)" >&2; exit 1; }

mkdir -p "$raiz/docs/imagens"
for exemplo in "$raiz"/exemplos/*.olp; do
  nome=$(basename "$exemplo" .olp)
  [ -f "$figuras/$nome.png" ] || { echo "galeria: falta a figura de $nome" >&2; exit 1; }
  convert "$figuras/$nome.png" -resize 320x240 -strip "$raiz/docs/imagens/$nome.png"
  echo "docs/imagens/$nome.png"
done
