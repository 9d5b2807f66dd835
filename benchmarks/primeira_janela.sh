#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The first five minutes: seconds from a fresh clone (the packages already
# installed) to olpa's window on screen with ./scripts/olpa.sh, for two
# commits of this repository in turn, in one run; prints each and the ratio.
# Each clone builds from nothing, so a run takes as long as both builds.
# Usage: benchmarks/primeira_janela.sh ANTES DEPOIS [VOLTAS]   (commits; VOLTAS 1;
# OLPA_MANTEM_CLONES=1 keeps the clones, built, in /tmp)
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
antes=$1 depois=$2 voltas=${3:-1}
tmp=$(mktemp -d /tmp/olpa-primeira-XXXXXX)
export XDG_DATA_HOME=$tmp/dados # recovery copies stay out of the user's
pid=""
trap '[ -n "$pid" ] && kill -- -"$pid" 2>/dev/null; [ -n "${OLPA_MANTEM_CLONES:-}" ] || rm -rf "$tmp"' EXIT

# mede COMMIT: clones it, runs its olpa.sh under a virtual display of its own,
# and prints the seconds until its window is mapped and visible.
mede() {
  local pasta=$tmp/clone-$1-$RANDOM inicio titulo
  git clone -q "$raiz" "$pasta"
  git -C "$pasta" checkout -q "$1"
  titulo="olpa v$(sed -n 's/^project(olpa VERSION \([^ ]*\).*/\1/p' "$pasta/CMakeLists.txt")"
  inicio=$(date +%s.%N)
  setsid xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
    "\"$pasta/scripts/olpa.sh\" & until xdotool search --onlyvisible --name '^${titulo//./\\.}\$' >/dev/null 2>&1; do sleep 0.2; done; echo > '$pasta/apareceu'; kill %1" \
    >"$pasta.log" 2>&1 &
  pid=$!
  until [ -e "$pasta/apareceu" ]; do
    kill -0 "$pid" 2>/dev/null || { tail "$pasta.log" >&2 && exit 1; }
    sleep 0.2
  done
  awk "BEGIN {printf \"%.0f\", $(date +%s.%N) - $inicio}"
  kill -- -"$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
  [ -n "${OLPA_MANTEM_CLONES:-}" ] || rm -rf "$pasta"
}

for v in $(seq 1 "$voltas"); do
  a=$(mede "$antes")
  d=$(mede "$depois")
  echo "volta $v: $antes ${a} s, $depois ${d} s, razão $(awk "BEGIN {printf \"%.2f\", $d / $a}")"
done
