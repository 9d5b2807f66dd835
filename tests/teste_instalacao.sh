#!/usr/bin/env bash
# Installs olpa into a temporary prefix and starts it the way a user would,
# with a fresh HOME, under the display of the test run (Xvfb).
# Usage: OLPA_TITULO=TITLE teste_instalacao.sh BUILD_DIR
set -euo pipefail

construcao=$1
titulo=${OLPA_TITULO:?OLPA_TITULO, the title of the window (CMake passes it)}
tmp=$(mktemp -d /tmp/olpa-instalacao-XXXXXX)
pid=""
encerra() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$tmp"
}
trap encerra EXIT

falha() {
  echo "FALHOU: $*" >&2
  exit 1
}

prefixo=$tmp/prefixo
export HOME=$tmp/casa
unset OLPA_PASTA XDG_DATA_HOME
mkdir -p "$HOME"
pasta=$HOME/olpa

cmake --install "$construcao" --prefix "$prefixo" >/dev/null

# What a desktop needs to find and start olpa.
[ -x "$prefixo/bin/olpa" ] || falha "sem bin/olpa"
[ -x "$prefixo/bin/olpa-rodar" ] || falha "sem bin/olpa-rodar"
[ -x "$prefixo/lib/olpa/olpa" ] || falha "sem lib/olpa/olpa"
[ -s "$prefixo/lib/olpa/olpalib/init.png" ] || falha "sem olpalib/init.png"
grep -qx "Exec=olpa" "$prefixo/share/applications/olpa.desktop" || falha "olpa.desktop"
grep -qx "Icon=olpa" "$prefixo/share/applications/olpa.desktop" || falha "olpa.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefixo/share/applications/olpa.desktop" || falha "olpa.desktop inválido"
fi
for n in 16 24 32 48 64; do
  icone=$prefixo/share/icons/hicolor/${n}x${n}/apps/olpa.png
  [ "$(identify -format '%wx%h' "$icone")" = "${n}x${n}" ] || falha "ícone $n"
done
exemplos_instalados=$(ls "$prefixo/share/olpa/exemplos"/*.olp | wc -l)
[ "$exemplos_instalados" -ge 12 ] || falha "só $exemplos_instalados exemplos instalados"

# Starts the launcher and waits for its window; sets $pid.
abre() {
  "$prefixo/bin/olpa" >"$tmp/saida.txt" 2>&1 &
  pid=$!
  for _ in $(seq 1 200); do
    if xdotool search --all --pid "$pid" --name "^${titulo//./\\.}\$" >/dev/null 2>&1; then
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || { cat "$tmp/saida.txt" >&2; falha "o olpa terminou ao abrir"; }
    sleep 0.1
  done
  falha "a janela do olpa não apareceu"
}

fecha() {
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
}

# First start: the user's folder is laid out and the program works in it.
abre
[ "$(readlink -f "/proc/$pid/cwd")" = "$(readlink -f "$pasta/bin")" ] || falha "pasta de trabalho"
[ -d "$pasta/telas" ] || falha "sem telas/"
[ -s "$pasta/bin/olpalib/init.png" ] || falha "sem bin/olpalib/init.png"
for f in "$prefixo/share/olpa/exemplos"/*.olp; do
  cmp -s "$f" "$pasta/exemplos/$(basename "$f")" || falha "exemplo $(basename "$f") não copiado"
done
fecha

# The learner changes one example and deletes another: a later start (and a
# new install) must leave their folder as they left it.
primeiro=$(ls "$pasta/exemplos"/*.olp | head -1)
segundo=$(ls "$pasta/exemplos"/*.olp | sed -n 2p)
printf '// meu programa\nint main(void) { inicia(); termina(); return 0; }\n' >"$primeiro"
rm "$segundo"
cmake --install "$construcao" --prefix "$prefixo" >/dev/null
abre
fecha
grep -qx "// meu programa" "$primeiro" || falha "o exemplo mudado foi sobrescrito"
[ ! -e "$segundo" ] || falha "o exemplo apagado voltou"

# The installed command-line runner works in the same folder.
(cd "$pasta/bin" && "$prefixo/bin/olpa-rodar" "$primeiro" >"$tmp/rodar.txt" 2>/dev/null) ||
  falha "olpa-rodar: $(cat "$tmp/rodar.txt")"
[ "$(tail -1 "$tmp/rodar.txt")" = "[olpa] sucesso!" ] || falha "olpa-rodar: $(cat "$tmp/rodar.txt")"
[ -s "$pasta/telas/imagem.png" ] || falha "olpa-rodar não gravou telas/imagem.png"

echo "instalação: tudo certo"
