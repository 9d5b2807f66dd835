#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the window tests in
# a virtual X server).
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
"$raiz/scripts/instala-dependencias.sh"
"$raiz/scripts/compila.sh"
cd "$raiz/build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j 2 --timeout 300 "$@"
