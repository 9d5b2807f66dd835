#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds olpa into build/ (the run tree is build/olpa/): with
# --janela, only what the window needs to open; otherwise everything, the
# tests and benchmarks too.
# Usage: scripts/compila.sh [--janela]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--janela" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$(nproc)" --target janela
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOLPA_TESTES=ON >/dev/null
  cmake --build build -j "$(nproc)"
fi
