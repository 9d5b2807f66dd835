#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sizes of the code and of its tests: non-blank lines of C++, C, headers,
# shell and CMake. Tests are tests/ without the cases' data; code is src/,
# ferramentas/ and scripts/. With --tempo, also times the whole ctest (the
# build must exist; runs under Xvfb as scripts/testa.sh does).
# Usage: scripts/conta.sh [--tempo]
set -euo pipefail
cd "$(dirname "$0")/.."
fontes() { find "$@" -type f \( -name '*.cpp' -o -name '*.c' -o -name '*.h' -o -name '*.sh' \
  -o -name 'CMakeLists.txt' -o -name '*.cmake' \); }
linhas() { fontes "$@" | xargs cat | grep -cv '^[[:space:]]*$'; }
testes=$(linhas tests)
codigo=$(linhas src ferramentas scripts)
echo "testes: $testes linhas; código: $codigo linhas; razão $(awk "BEGIN {printf \"%.2f\", $testes / $codigo}")"
fontes src ferramentas scripts tests | while read -r f; do
  echo "$(grep -cv '^[[:space:]]*$' "$f") $f"
done | sort -rn | head -1 | awk '{print "arquivo mais longo: " $2 " (" $1 " linhas)"}'
if [ "${1:-}" = "--tempo" ]; then
  cd build
  registro=$(mktemp /tmp/olpa-conta-ctest-XXXXXX.log)
  inicio=$(date +%s.%N)
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest -j "$(($(nproc) + 1))" >"$registro" 2>&1 ||
    echo "ctest falhou: $registro"
  echo "ctest: $(awk "BEGIN {printf \"%.1f\", $(date +%s.%N) - $inicio}") s"
fi
