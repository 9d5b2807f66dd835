#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building and running the window needs when it is missing,
# builds only the window (not the tests), and starts olpa inside its run tree.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
"$raiz/scripts/instala-dependencias.sh"
"$raiz/scripts/compila.sh" --janela
cd "$raiz/build/olpa/bin"
exec ./olpa "$@"
