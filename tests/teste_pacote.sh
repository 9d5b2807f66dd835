#!/usr/bin/env bash
# Makes the Debian package with cpack, checks what it holds and depends on,
# extracts it into a scratch root (dpkg -x) and starts olpa from there, as a
# user would after `apt install ./olpa_*.deb`, under the test run's display.
# Usage: OLPA_TITULO=TITLE teste_pacote.sh BUILD_DIR
set -euo pipefail

construcao=$1
titulo=${OLPA_TITULO:?OLPA_TITULO, the title of the window (CMake passes it)}
tmp=$(mktemp -d /tmp/olpa-pacote-XXXXXX)
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

# Uncompressed: the same files and fields, made in a fraction of the time.
(cd "$construcao" && cpack --config CPackConfig.cmake -B "$tmp/pacote" \
  -D CPACK_DEBIAN_COMPRESSION_TYPE=none >"$tmp/cpack.txt" 2>&1) ||
  { cat "$tmp/cpack.txt" >&2; falha "cpack"; }
deb=$(ls "$tmp"/pacote/olpa_*.deb)
[ -f "$deb" ] || falha "sem .deb"

# Dependencies computed from the shared libraries the programs use, besides
# the compiler's runtime and headers.
depende=$(dpkg-deb -f "$deb" Depends)
for lib in libgtk-3-0 libgtksourceview-4-0 libcairo2 libglib2.0-0 libc6; do
  grep -q "\b$lib\b" <<<"$depende" || falha "Depends sem $lib: $depende"
done
grep -q "\btcc\b" <<<"$depende" || falha "Depends sem tcc: $depende"

raiz=$tmp/raiz
dpkg -x "$deb" "$raiz"
usr=$raiz/usr
for f in bin/olpa bin/olpa-rodar lib/olpa/olpa lib/olpa/olpalib/init.png \
  lib/olpa/olpalib/linguagem/olpa.lang lib/olpa/olpalib/ajuda/erros_comuns.ini \
  lib/olpa/olpalib/ajuda/avisos.ini \
  share/applications/olpa.desktop share/metainfo/olpa.metainfo.xml \
  share/icons/hicolor/48x48/apps/olpa.png share/olpa/exemplos/01_primeira_linha.olp; do
  [ -e "$usr/$f" ] || falha "o pacote não tem $f"
done
# The analyser, in a build with clang.
analisa=""
[ -x "$construcao/olpa/bin/olpa-analisa" ] && analisa=1
[ -z "$analisa" ] || [ -x "$usr/lib/olpa/olpa-analisa" ] || falha "o pacote não tem o analisador"
[ "$(ls "$usr"/lib/olpa/olpalib/ajuda/funcoes/*.png | wc -l)" -ge 17 ] || falha "figuras das funções"
ls "$usr"/lib/olpa/olpalib/ajuda/*.feito >/dev/null 2>&1 && falha "marcas da construção no pacote"
desktop-file-validate "$usr/share/applications/olpa.desktop" || falha "olpa.desktop inválido"
appstreamcli validate --no-net "$usr/share/metainfo/olpa.metainfo.xml" >"$tmp/as.txt" 2>&1 ||
  { cat "$tmp/as.txt" >&2; falha "metainfo inválido"; }

# Started from the extracted root, with a fresh home.
export HOME=$tmp/casa
unset OLPA_PASTA XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -p "$HOME"
"$usr/bin/olpa" >"$tmp/saida.txt" 2>&1 &
pid=$!
achou=""
for _ in $(seq 1 200); do
  if xdotool search --all --pid "$pid" --name "^${titulo//./\\.}\$" >/dev/null 2>&1; then
    achou=1
    break
  fi
  kill -0 "$pid" 2>/dev/null || { cat "$tmp/saida.txt" >&2; falha "o olpa terminou ao abrir"; }
  sleep 0.1
done
[ -n "$achou" ] || falha "a janela do olpa não apareceu"
[ -f "$HOME/olpa/exemplos/01_primeira_linha.olp" ] || falha "exemplos não copiados"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
(cd "$HOME/olpa/bin" && "$usr/bin/olpa-rodar" ../exemplos/01_primeira_linha.olp >"$tmp/rodar.txt" 2>/dev/null) ||
  falha "olpa-rodar: $(cat "$tmp/rodar.txt")"
[ -s "$HOME/olpa/telas/imagem.png" ] || falha "olpa-rodar não gravou a figura"
[ -n "$analisa" ] && grep -q "análise do programa" "$tmp/rodar.txt" &&
  falha "olpa-rodar sem o analisador: $(cat "$tmp/rodar.txt")"
echo "pacote: $(basename "$deb") tudo certo; Depends: $depende"
