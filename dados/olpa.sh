#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts olpa for the current user. The program works inside a folder of
# the user's own (OLPA_PASTA, by default ~/olpa):
#   bin/       working directory, with olpalib/ linked to the installed copy
#   telas/     the pictures programs write
#   exemplos/  a copy of the examples, made on the first start only
# Installed as PREFIX/bin/olpa; finds the rest of the installation from there.
set -e

aqui=$(dirname "$(readlink -f "$0")")
prefixo=$(cd "$aqui/.." && pwd)
lib="$prefixo/lib/olpa"
compartilhado="$prefixo/share/olpa"
pasta="${OLPA_PASTA:-$HOME/olpa}"

mkdir -p "$pasta/bin" "$pasta/telas"

# The learner's examples are theirs to change: copy them once, never again.
if [ ! -e "$pasta/exemplos" ]; then
  mkdir -p "$pasta/exemplos"
  cp -n "$compartilhado/exemplos/"*.olp "$pasta/exemplos/" 2>/dev/null || true
fi

# A link (refreshed, in case olpa was installed elsewhere since) unless the
# user put a folder of their own there.
if [ -L "$pasta/bin/olpalib" ] || [ ! -e "$pasta/bin/olpalib" ]; then
  ln -sfn "$compartilhado/olpalib" "$pasta/bin/olpalib"
fi

cd "$pasta/bin"
exec "$lib/olpa" "$@"
