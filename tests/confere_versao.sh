#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The version is written once, in CMakeLists.txt (the metainfo's newest
# release is checked when CMake configures): the README and the reference
# name no other.
# Usage: confere_versao.sh SOURCE_DIR VERSION
set -euo pipefail
cd "$1"
outras=$(grep -noE 'olpa[_ v-]?[0-9]+\.[0-9]+(-[0-9]+)?' README.md docs/referencia.md |
  grep -vE "[_ v-]$2(-[0-9]+)?\$" || true)
[ -z "$outras" ] || { echo "FALHOU: versões que não são a $2:" >&2 && echo "$outras" >&2 && exit 1; }
echo "versão: 1 passed, 0 failed"
