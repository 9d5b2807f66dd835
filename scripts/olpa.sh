#!/usr/bin/env bash
# Installs what is missing, builds, and starts olpa inside its run tree.
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
"$raiz/scripts/instala-dependencias.sh"
"$raiz/scripts/compila.sh"
cd "$raiz/build/olpa/bin"
exec ./olpa "$@"
