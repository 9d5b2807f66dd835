#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test (the window tests in
# a virtual X server). One test more than processors: the window tests spend
# part of their time waiting for GTK or X, and another test uses it.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
"$raiz/scripts/instala-dependencias.sh" --testes
"$raiz/scripts/compila.sh"
cd "$raiz/build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(($(nproc) + 1))" --timeout 300 "$@"
