#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command under a virtual X server of its own (Xvfb on the first free
# display), so that tests that drive windows and read the screen back run
# side by side instead of taking turns on one display.
# Usage: tela_propria.sh COMMAND [ARGUMENT...]
set -euo pipefail
pasta=$(mktemp -d /tmp/olpa-tela-XXXXXX)
xvfb=""
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null; rm -rf "$pasta"' EXIT
mkfifo "$pasta/numero"
# Xvfb writes its display number once it takes connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$pasta/numero" 2>"$pasta/xvfb.txt" &
xvfb=$!
read -r numero <"$pasta/numero" || { cat "$pasta/xvfb.txt" >&2; exit 1; }
DISPLAY=:$numero "$@"
