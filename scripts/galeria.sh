#!/usr/bin/env bash
# Draws the documentation's gallery: runs every example with the
# command-line runner, as a learner would, and keeps a 320 x 240 copy of its
# picture in docs/imagens/<example>.png; an example that animates with
# espera() also gets docs/imagens/<example>.gif, made of the frames the
# runner writes at each espera (ImageMagick assembles them).
# Usage: scripts/galeria.sh [BUILD_DIR]   (default: build)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
construcao="$(cd "${1:-$raiz/build}" && pwd)"
rodar="$construcao/olpa/bin/olpa-rodar"
[ -x "$rodar" ] || { echo "galeria: falta $rodar (compile antes)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$raiz/docs/imagens"
for exemplo in "$raiz"/exemplos/*.olp; do
  nome=$(basename "$exemplo" .olp)
  # Each example in a fresh run tree: no saving mode left over from another.
  rm -rf "$tmp/bin" "$tmp/telas"
  mkdir -p "$tmp/bin" "$tmp/telas"
  ln -s "$construcao/olpa/bin/olpalib" "$tmp/bin/olpalib"
  opcoes=()
  grep -q 'espera *(' "$exemplo" && opcoes=(--quadros quadros)
  (cd "$tmp/bin" && "$rodar" "${opcoes[@]}" "$exemplo" >"$tmp/saida.txt" 2>"$tmp/erros.txt") || {
    cat "$tmp/saida.txt" >&2
    echo "galeria: $nome falhou" >&2
    exit 1
  }
  # The runner reports the picture it left as "[tamanho] PATH, BYTES".
  figura=$(sed -n 's/^\[tamanho\] \(.*\), [0-9]*$/\1/p' "$tmp/erros.txt" | tail -1)
  convert "$tmp/bin/$figura" -resize 320x240 -strip "$raiz/docs/imagens/$nome.png"
  echo "docs/imagens/$nome.png"
  [ -d "$tmp/telas/quadros" ] || continue
  # Frames are NNNNN-MS.png, shown MS milliseconds each (GIF counts hundredths);
  # the final picture stays two seconds before the animation starts over.
  quadros=()
  for q in "$tmp"/telas/quadros/*.png; do
    ms=${q##*-}
    ms=${ms%.png}
    [ "$ms" -gt 0 ] && quadros+=(-delay $(((ms + 5) / 10)) "$q")
  done
  convert "${quadros[@]}" -delay 200 "$tmp/bin/$figura" -resize 320x240 -loop 0 \
    -layers Optimize "$raiz/docs/imagens/$nome.gif"
  echo "docs/imagens/$nome.gif"
done
