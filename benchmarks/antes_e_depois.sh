#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the window as it was at REVISION (by default where this branch left
# main) into /tmp, and runs bench_janela with it ("before") and this build's
# window ("after") side by side under Xvfb.
# Usage: benchmarks/antes_e_depois.sh [REVISION] [SCALE]   (build/ built first)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
rev=${1:-$(git -C "$raiz" merge-base HEAD main)}
antes=/tmp/olpa-antes-$(basename "$raiz")-$(git -C "$raiz" rev-parse --short "$rev") # one a tree: others build theirs
if [ ! -x "$antes/build/olpa/bin/olpa" ] || [ ! -s "$antes/build/olpa/bin/olpalib/init.png" ]; then
  rm -rf "$antes"
  mkdir -p "$antes/fonte"
  git -C "$raiz" archive "$rev" | tar -x -C "$antes/fonte"
  cmake -S "$antes/fonte" -B "$antes/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$antes/build" --target olpa init_png icones -j 2 >/dev/null
fi
echo "before: $rev ($antes)"
exec xvfb-run -a -s "-screen 0 1280x1600x24" "$raiz/build/benchmarks/bench_janela" \
  "$antes/build/olpa/bin" "$raiz/build/olpa/bin" "${2:-1}"
