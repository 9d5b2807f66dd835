// SPDX-License-Identifier: GPL-3.0-or-later
// The replay of the steps (README.md): each program compiled and run in
// this process with its calls recorded and the canvas hashed after every
// call; then every step replayed and held against the canvas as the run
// left it after that call, pixel for pixel. What the record lists, its
// notice and its pixel map are the cases' (tests/casos: NOME.passos,
// NOME.console, NOME.quem), through the real child.
//
// roda_passos CASO                 CASO: casos/NOME (NOME.olp, or NOME/NN.olp in turn)
// roda_passos --exemplo PROGRAMA   any program
#include "olpa_passos.h"
#include "programa.h"
#include "suporte.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include <glib.h>

namespace {

int falhas = 0;

void falha(const std::string &onde, const std::string &texto) {
  fprintf(stderr, "FALHA %s: %s\n", onde.c_str(), texto.c_str());
  falhas++;
}

// NOME.opcoes (the case's): "registro CHAMADAS TEXTOS", the record's size;
// the rest is the case runner's.
OlpaRegistroMedidas medidas_de(const std::string &arquivo) {
  OlpaRegistroMedidas m;
  std::istringstream linhas(le_arquivo(arquivo));
  for (std::string linha; std::getline(linhas, linha);) {
    std::istringstream in(linha);
    std::string chave;
    if (in >> chave && chave == "registro")
      in >> m.chamadas >> m.textos;
  }
  return m;
}

// Step `passo` replayed against the live run.
void confere_passo(const std::string &onde, OlpaPassos *passos, const Gravada &vivo,
                   uint32_t passo) {
  const OlpaQuadro q = olpa_passos_mostra(passos, passo);
  const uint32_t *pixels = reinterpret_cast<const uint32_t *>(q.pixels);
  if (!q.pixels != !vivo.com_tela[passo]) {
    falha(onde, "passo " + std::to_string(passo) + ": " +
                    (q.pixels ? "tela onde não havia" : "sem tela onde havia"));
    return;
  }
  if (std::make_pair(q.x, q.y) != vivo.canetas[passo])
    falha(onde, "passo " + std::to_string(passo) + ": a caneta refeita não está onde estava");
  if (pixels && conferido(passo) && hash_da_tela(pixels) != vivo.hashes[passo])
    falha(onde, "passo " + std::to_string(passo) + ": a tela refeita difere da tela ao vivo");
  for (const auto &[p, copia] : vivo.copias)
    if (p == passo && pixels && memcmp(pixels, copia.data(), OLPA_TELA_BYTES) != 0)
      falha(onde, "passo " + std::to_string(passo) + ": pixels diferentes da cópia ao vivo");
}

// Every step in order, every seventh back again, and jumping about; then
// with room for only two pictures, some of them (each then replays from far).
void confere_reprise(const std::string &onde, const Gravada &vivo) {
  const uint32_t n = static_cast<uint32_t>(vivo.registro.entradas.size());
  if (vivo.hashes.size() != n + 1)
    return falha(onde, "a execução ao vivo viu " + std::to_string(vivo.hashes.size()) +
                           " telas para " + std::to_string(n) + " passos");
  OlpaPassosPtr passos = olpa_passos_cria(&vivo.registro);
  while (!olpa_passos_percorre(passos.get(), 1)) {
  }
  for (uint32_t k = 0; k <= n; k++)
    confere_passo(onde, passos.get(), vivo, k);
  for (uint32_t k = n + 1; k-- > 0;)
    if (k % 7 == 0 || k + 1 == n)
      confere_passo(onde, passos.get(), vivo, k);
  GRand *sorteio = g_rand_new_with_seed(n);
  for (int i = 0; i < 200; i++)
    confere_passo(onde, passos.get(), vivo, g_rand_int_range(sorteio, 0, n + 1));
  OlpaPassosPtr apertado = olpa_passos_cria(&vivo.registro, 0);
  for (int i = 0; i < 40; i++)
    confere_passo(onde, apertado.get(), vivo, g_rand_int_range(sorteio, 0, n + 1));
  g_rand_free(sorteio);
}

void um_programa(const std::string &onde, const std::string &base) {
  const Gravada g = roda_programa(le_arquivo(base + ".olp"), medidas_de(base + ".opcoes"));
  if (!g.compilou)
    return falha(onde, "não compilou:\n" + g.erros);
  confere_reprise(onde, g);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return fprintf(stderr, "uso: roda_passos CASO | --exemplo PROGRAMA\n"), 2;
  const bool exemplo = strcmp(argv[1], "--exemplo") == 0 && argc > 2;
  const std::string caso = glib(g_canonicalize_filename(exemplo ? argv[2] : argv[1], nullptr));
  RaizTemporaria arvore; // pictures the programs write go to its telas/
  const std::string nome = glib(g_path_get_basename(caso.c_str()));
  if (exemplo)
    um_programa(nome, caso.substr(0, caso.size() - 4));
  else if (g_file_test(caso.c_str(), G_FILE_TEST_IS_DIR)) {
    std::vector<std::string> programas;
    if (GDir *d = g_dir_open(caso.c_str(), 0, nullptr)) {
      while (const char *n = g_dir_read_name(d))
        if (g_str_has_suffix(n, ".olp"))
          programas.emplace_back(n, strlen(n) - 4);
      g_dir_close(d);
    }
    std::sort(programas.begin(), programas.end());
    for (const std::string &p : programas)
      um_programa(nome + "/" + p, caso + "/" + p);
  } else
    um_programa(nome, caso);
  printf("%s: %s\n", nome.c_str(), falhas ? "FALHOU" : "ok");
  return falhas ? 1 : 0;
}
