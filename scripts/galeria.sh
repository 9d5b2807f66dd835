#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the documentation's gallery from the pictures the build drew of the
# examples with the command-line runner (olpalib/ajuda/exemplos/, the same
# ones the help window and "Abrir" show): a 320 x 240 copy of each in
# docs/imagens/<example>.png. An example that animates with espera() also
# gets docs/imagens/<example>.gif, made of the frames olpa-rodar --quadros
# writes at each espera (ImageMagick assembles them).
# Usage: scripts/galeria.sh [BUILD_DIR]   (default: build)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
construcao="$(cd "${1:-$raiz/build}" && pwd)"
figuras="$construcao/olpa/bin/olpalib/ajuda/exemplos"
rodar="$construcao/olpa/bin/olpa-rodar"
[ -d "$figuras" ] || { echo "galeria: falta $figuras (compile antes)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$raiz/docs/imagens"
for exemplo in "$raiz"/exemplos/*.olp; do
  nome=$(basename "$exemplo" .olp)
  [ -f "$figuras/$nome.png" ] || { echo "galeria: falta a figura de $nome" >&2; exit 1; }
  convert "$figuras/$nome.png" -resize 320x240 -strip "$raiz/docs/imagens/$nome.png"
  echo "docs/imagens/$nome.png"
  grep -q 'espera *(' "$exemplo" || continue
  # A fresh run tree, the frames in telas/quadros/ as NNNNN-MS.png, each
  # shown MS milliseconds (GIF counts hundredths); the final picture stays two
  # seconds before the animation starts over.
  rm -rf "$tmp/bin" "$tmp/telas"
  mkdir -p "$tmp/bin" "$tmp/telas"
  ln -s "$construcao/olpa/bin/olpalib" "$tmp/bin/olpalib"
  (cd "$tmp/bin" && "$rodar" --quadros quadros "$exemplo" >"$tmp/saida.txt" 2>&1) || {
    cat "$tmp/saida.txt" >&2
    echo "galeria: $nome falhou" >&2
    exit 1
  }
  quadros=()
  for q in "$tmp"/telas/quadros/*.png; do
    ms=${q##*-}
    ms=${ms%.png}
    [ "$ms" -gt 0 ] && quadros+=(-delay $(((ms + 5) / 10)) "$q")
  done
  convert "${quadros[@]}" -delay 200 "$figuras/$nome.png" -resize 320x240 -loop 0 \
    -layers Optimize "$raiz/docs/imagens/$nome.gif"
  echo "docs/imagens/$nome.gif"
done
