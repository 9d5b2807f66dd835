#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs olpa into a temporary prefix and starts it the way a user would,
# with a fresh HOME, under the display of the test run (Xvfb).
# Usage: OLPA_TITULO=TITLE teste_instalacao.sh BUILD_DIR
set -euo pipefail
tmp=$(mktemp -d /tmp/olpa-instalacao-XXXXXX)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
falha() { echo "FALHOU: $*" >&2 && exit 1; }
p=$tmp/prefixo
export HOME=$tmp/casa
unset OLPA_PASTA XDG_DATA_HOME
mkdir -p "$HOME"
cmake --install "$1" --prefix "$p" >/dev/null

# What a desktop needs to find and start olpa.
for f in bin/olpa bin/olpa-rodar lib/olpa/olpa share/olpa/olpalib/init.png; do
  [ -s "$p/$f" ] || falha "sem $f"
done
desktop-file-validate "$p/share/applications/io.github.olpa.desktop" || falha "io.github.olpa.desktop inválido"
grep -qx "Exec=olpa" "$p/share/applications/io.github.olpa.desktop" || falha "io.github.olpa.desktop"
for n in 16 24 32 48 64; do
  [ "$(identify -format '%wx%h' "$p/share/icons/hicolor/${n}x$n/apps/io.github.olpa.png")" = "${n}x$n" ] ||
    falha "ícone $n"
done

abre_e_fecha() { # starts the launcher, waits for its window, closes it
  "$p/bin/olpa" >"$tmp/saida.txt" 2>&1 &
  pid=$!
  timeout 20 xdotool search --sync --all --pid $pid --name "^${OLPA_TITULO//./\\.}\$" >/dev/null || falha "sem janela"
  [ "$(readlink -f /proc/$pid/cwd)" = "$(readlink -f "$HOME/olpa/bin")" ] || falha "pasta de trabalho"
  kill $pid && wait $pid 2>/dev/null || true
  pid=""
}

# First start lays out the user's folder with the examples.
abre_e_fecha
pasta=$HOME/olpa
[ -d "$pasta/telas" ] && [ -s "$pasta/bin/olpalib/init.png" ] || falha "pasta do usuário"
diff -r "$p/share/olpa/exemplos" "$pasta/exemplos" >/dev/null || falha "exemplos não copiados"
# An example changed and one deleted by the learner stay so after a new
# install and start.
primeiro=$(ls "$pasta/exemplos"/*.olp | head -1)
segundo=$(ls "$pasta/exemplos"/*.olp | sed -n 2p)
echo 'int main(void) { inicia(); termina(); return 0; }' >"$primeiro"
rm "$segundo"
cmake --install "$1" --prefix "$p" >/dev/null
abre_e_fecha
grep -q "^int main" "$primeiro" && [ ! -e "$segundo" ] || falha "exemplos do usuário mudados"

# The installed command-line runner, in the same folder: reads standard
# input with "-", exits 1 when a run failed, 2 on wrong use.
cd "$pasta/bin"
[ "$("$p/bin/olpa-rodar" "$primeiro" 2>/dev/null | tail -1)" = "[olpa] sucesso!" ] || falha "rodar"
[ -s "$pasta/telas/imagem.png" ] || falha "olpa-rodar não gravou telas/imagem.png"
echo 'int main(void) { escreve_console("oi\n"); }' | "$p/bin/olpa-rodar" - 2>/dev/null | grep -qx oi ||
  falha "olpa-rodar -"
for uso in "" "--tempo-limite" "--tempo-limite 0 $primeiro" "--xyz $primeiro" "nao_existe.olp"; do
  set +e
  "$p/bin/olpa-rodar" $uso >/dev/null 2>&1
  [ $? = 2 ] || falha "olpa-rodar $uso"
  set -e
done
echo 'int main(void) { return *(int *)0; }' >"$tmp/q.olp"
set +e
"$p/bin/olpa-rodar" "$primeiro" "$tmp/q.olp" >/dev/null 2>&1
[ $? = 1 ] || falha "olpa-rodar com falha"
echo "instalação: 1 passed, 0 failed"
