#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package with cpack and checks it as Debian would: lintian
# (pedantic) with no error and no warning, AppStream and the desktop entry
# valid, what it holds and depends on, binaries stripped and hardened. Then
# extracts it into a scratch root (dpkg -x) and, as a user who is not root,
# starts olpa from there as after `apt install ./olpa_*.deb`: the window opens
# an example, runs it and shows its picture, under the test run's display.
# Usage: OLPA_TITULO=TITLE teste_pacote.sh BUILD_DIR LAYOUT_H
set -euo pipefail

construcao=$(cd "$1" && pwd)
eval "$(sed -n 's/^constexpr int \(OLPA_[A-Z_]*\) = \([0-9]*\);.*/\1=\2/p' "$2")"
titulo=${OLPA_TITULO:?OLPA_TITULO, the title of the window (CMake passes it)}
id=io.github.olpa
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

(cd "$construcao" && cpack --config CPackConfig.cmake -B "$tmp/pacote" >"$tmp/cpack.txt" 2>&1) ||
  { cat "$tmp/cpack.txt" >&2; falha "cpack"; }
deb=$(ls "$tmp"/pacote/olpa_*.deb)
[ -f "$deb" ] || falha "sem .deb"
echo "pacote: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# As Debian would take it: no error and no warning (info and pedantic tags
# are shown, for a person to judge).
lintian --pedantic --display-info --fail-on error,warning "$deb" >"$tmp/lintian.txt" 2>&1 ||
  { grep -v '^running with root' "$tmp/lintian.txt" >&2; falha "lintian"; }
sed -n 's/^\([IP]: .*\)/lintian: \1/p' "$tmp/lintian.txt" | sed 's/ \[.*//' | sort | uniq -c

# The fields: a maintainer that is reachable, the shared libraries the
# programs use, and what no linker sees.
campo() { dpkg-deb -f "$deb" "$1"; }
[[ "$(campo Maintainer)" =~ ^[^@]+\ \<[^@]+@[a-z0-9.-]+\.[a-z]+\>$ ]] && [[ "$(campo Maintainer)" != *localhost* ]] ||
  falha "Maintainer: $(campo Maintainer)"
depende=$(campo Depends)
for lib in libgtk-3-0 libgtksourceview-4-0 libcairo2 libglib2.0-0 libc6 tcc libc6-dev libglib2.0-data; do
  grep -q "\(^\|, \)$lib\( \|,\|$\)" <<<"$depende" || falha "Depends sem $lib: $depende"
done

raiz=$tmp/raiz
dpkg -x "$deb" "$raiz"
usr=$raiz/usr
for f in bin/olpa bin/olpa-rodar lib/olpa/olpa share/olpa/olpalib/init.png \
  share/olpa/olpalib/linguagem/olpa.lang share/olpa/olpalib/ajuda/erros_comuns.ini \
  share/olpa/olpalib/ajuda/avisos.ini \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/48x48/apps/$id.png share/olpa/exemplos/01_primeira_linha.olp \
  share/man/man1/olpa.1.gz share/man/man1/olpa-rodar.1.gz \
  share/doc/olpa/copyright share/doc/olpa/changelog.Debian.gz; do
  [ -e "$usr/$f" ] || falha "o pacote não tem $f"
done
# The analyser, in a build with clang.
analisa=""
[ -x "$construcao/olpa/bin/olpa-analisa" ] && analisa=1
[ -z "$analisa" ] || [ -x "$usr/lib/olpa/olpa-analisa" ] || falha "o pacote não tem o analisador"
[ "$(ls "$usr"/share/olpa/olpalib/ajuda/funcoes/*.png | wc -l)" -ge 17 ] || falha "figuras das funções"
ls "$usr"/share/olpa/olpalib/ajuda/*.feito >/dev/null 2>&1 && falha "marcas da construção no pacote"
[ -z "$(grep -rlF "$construcao" "$raiz")" ] || falha "o pacote depende da pasta da construção"
grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
  "$usr/share/doc/olpa/copyright" || falha "copyright sem o formato legível por máquina"
grep -qx "License: GPL-3.0-or-later" "$usr/share/doc/olpa/copyright" || falha "copyright sem a licença"
grep -q "<project_license>GPL-3.0-or-later</project_license>" "$usr/share/metainfo/$id.metainfo.xml" ||
  falha "metainfo sem a licença"
grep -q "^Icon=$id$" "$usr/share/applications/$id.desktop" || falha "ícone do olpa.desktop"
desktop-file-validate "$usr/share/applications/$id.desktop" || falha "$id.desktop inválido"
appstreamcli validate --pedantic --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$tmp/as.txt" 2>&1 ||
  { cat "$tmp/as.txt" >&2; falha "metainfo inválido"; }
appstreamcli validate-tree --pedantic --no-net "$raiz" >"$tmp/as.txt" 2>&1 ||
  { cat "$tmp/as.txt" >&2; falha "árvore inválida para o AppStream"; }
grep -q "Validation was successful.$" "$tmp/as.txt" || { cat "$tmp/as.txt" >&2; falha "AppStream com avisos"; }

# Stripped and hardened: no symbols, relocations read-only from the start,
# position-independent, the stack protected, the C library's checked calls.
# (Read whole: grep -q would cut the pipe under pipefail.)
for b in "$usr/lib/olpa/olpa" "$usr/bin/olpa-rodar"; do
  grep -q ", stripped" <<<"$(file "$b")" || falha "$b não está sem símbolos"
  grep -q "FLAGS.*BIND_NOW" <<<"$(readelf -d "$b")" || falha "$b sem bindnow"
  grep -q "Type:.*DYN" <<<"$(readelf -h "$b")" || falha "$b não é PIE"
  simbolos=$(nm -D "$b")
  grep -q " __stack_chk_fail@" <<<"$simbolos" || falha "$b sem stack protector"
  grep -q " __[a-z]*_chk@" <<<"$simbolos" || falha "$b sem fortify"
done

# GTK speaks Portuguese from its own catalogues: each comes with a package
# the package depends on, or with one of their dependencies.
instalados=$(dpkg-query -W -f='${Package}\n')
dependencias=$(for p in $(sed 's/ ([^)]*)//g; s/,/ /g' <<<"$depende"); do
  echo "$p"
  grep -qx "$p" <<<"$instalados" && dpkg-query -W -f='${Depends}\n' "$p" | sed 's/([^)]*)//g; s/[,|]/\n/g'
done | sed 's/:any//; s/ //g' | sort -u)
for mo in gtk30 gtksourceview-4 glib20; do
  dono=$(dpkg -S "/usr/share/locale/pt_BR/LC_MESSAGES/$mo.mo" | cut -d: -f1)
  grep -qx "$dono" <<<"$dependencias" || falha "$mo.mo ($dono) não vem com as dependências"
done

# A user who is not root, with a fresh home, in the extracted root.
usuario=()
if [ "$(id -u)" -eq 0 ]; then
  usuario=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  chmod 755 "$tmp"
fi
export HOME=$tmp/casa
unset OLPA_PASTA XDG_DATA_HOME XDG_CONFIG_HOME LC_ALL LANGUAGE
mkdir -p "$HOME"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$HOME"
como_usuario() { "${usuario[@]}" env HOME="$HOME" LANG=C.UTF-8 GSETTINGS_BACKEND=memory "$@"; }
como_usuario "$usr/bin/olpa" >"$tmp/saida.txt" 2>&1 &
pid=$!
janela=""
for _ in $(seq 1 300); do
  janela=$(xdotool search --all --onlyvisible --name "^${titulo//./\\.}\$" 2>/dev/null | head -1) && [ -n "$janela" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$tmp/saida.txt" >&2; falha "o olpa terminou ao abrir"; }
  sleep 0.1
done
[ -n "$janela" ] || falha "a janela do olpa não apareceu"
[ "$(stat -c %u "$HOME/olpa/exemplos/01_primeira_linha.olp")" = "$(como_usuario id -u)" ] ||
  falha "exemplos não copiados para o usuário"
# Abrir an example by its name, Rodar, and its picture on screen.
xdotool windowfocus --sync "$janela" sleep 0.5 key ctrl+o
dialogo=$(timeout 20 xdotool search --sync --onlyvisible --name '^Abrir$' | head -1)
[ -n "$dialogo" ] || falha "o Abrir não apareceu"
xdotool windowfocus --sync "$dialogo" sleep 0.5 type --delay 20 "01_primeira_linha.olp"
xdotool sleep 0.5 key Return
while xdotool search --onlyvisible --name '^Abrir$' >/dev/null 2>&1; do sleep 0.1; done
xdotool windowfocus --sync "$janela" key F5
eval "$(xdotool getwindowgeometry --shell "$janela")"
esperada=$construcao/olpa/bin/olpalib/ajuda/exemplos/01_primeira_linha.png
diferentes=""
for _ in $(seq 1 200); do
  import -window root -crop "640x480+$((X + OLPA_BORDA + OLPA_IMAGEM_X))+$((Y + OLPA_BORDA))" +repage \
    "$tmp/tela.png" 2>/dev/null
  diferentes=$(compare -metric AE "$tmp/tela.png" "$esperada" null: 2>&1 || true)
  [ "$diferentes" = 0 ] && break
  sleep 0.1
done
[ "$diferentes" = 0 ] || { cp "$tmp/tela.png" /tmp/olpa-pacote-falha.png; falha "a figura do exemplo não apareceu ($diferentes pontos diferentes; /tmp/olpa-pacote-falha.png)"; }
[ "$(stat -c %u "$HOME/olpa/telas/imagem.png")" = "$(como_usuario id -u)" ] || falha "a figura não foi gravada"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
rm "$HOME/olpa/telas/imagem.png"
(cd "$HOME/olpa/bin" && como_usuario "$usr/bin/olpa-rodar" ../exemplos/01_primeira_linha.olp >"$tmp/rodar.txt" 2>/dev/null) ||
  falha "olpa-rodar: $(cat "$tmp/rodar.txt")"
[ -s "$HOME/olpa/telas/imagem.png" ] || falha "olpa-rodar não gravou a figura"
[ -n "$analisa" ] && grep -q "análise do programa" "$tmp/rodar.txt" &&
  falha "olpa-rodar sem o analisador: $(cat "$tmp/rodar.txt")"
echo "pacote: 1 passed, 0 failed"
