// SPDX-License-Identifier: GPL-3.0-or-later
// The runner of the steps' cases (README.md): each program compiled and run
// in this process with its calls recorded, its steps listed as
// `olpa-rodar --passos` lists them and compared with NOME.passos, its
// notice with NOME.aviso, the pixel map with NOME.quem; and every step
// replayed and held against the canvas as the run left it after that call,
// pixel for pixel.
//
// roda_passos CASO                 CASO: passos/NOME (NOME.olp, or NOME/NN.olp in turn)
// roda_passos --exemplo PROGRAMA   only the replay, of any program
// OLPA_REGRAVA=1 rewrites the expected files from what the runs gave.
#include "olpa_avisos.h"
#include "olpa_passos.h"
#include "programa.h"
#include "suporte.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include <glib.h>

namespace {

const bool regrava = getenv("OLPA_REGRAVA") != nullptr;
int falhas = 0;

void falha(const std::string &onde, const std::string &texto) {
  fprintf(stderr, "FALHA %s: %s\n", onde.c_str(), texto.c_str());
  falhas++;
}

// The first line that differs, for the failure's message.
std::string primeira_diferenca(const std::string &esperado, const std::string &obtido) {
  std::istringstream a(esperado), b(obtido);
  std::string la, lb;
  for (int n = 1;; n++) {
    const bool tem_a = static_cast<bool>(std::getline(a, la));
    const bool tem_b = static_cast<bool>(std::getline(b, lb));
    if (!tem_a && !tem_b)
      return "iguais linha a linha, diferem no fim";
    if (!tem_a || !tem_b || la != lb)
      return "linha " + std::to_string(n) + ": esperado \"" + (tem_a ? la : "(fim)") +
             "\", obtido \"" + (tem_b ? lb : "(fim)") + "\"";
  }
}

void confere(const std::string &onde, const std::string &arquivo, const std::string &obtido) {
  if (regrava) {
    if (!obtido.empty() || existe(arquivo))
      escreve_arquivo(arquivo, obtido);
    return;
  }
  const std::string esperado = le_arquivo(arquivo);
  if (esperado != obtido)
    falha(onde, arquivo + ": " + primeira_diferenca(esperado, obtido));
}

// NOME.opcoes: "chamadas N", "textos N" (the record's size); "so-reprise":
// the steps replayed, and nothing else compared.
struct Opcoes {
  OlpaRegistroMedidas medidas;
  bool so_reprise = false;
};
Opcoes opcoes_de(const std::string &arquivo) {
  Opcoes o;
  std::istringstream linhas(le_arquivo(arquivo));
  for (std::string chave; linhas >> chave;) {
    if (chave == "so-reprise") {
      o.so_reprise = true;
      continue;
    }
    uint32_t n = 0;
    linhas >> n;
    if (chave == "chamadas")
      o.medidas.chamadas = n;
    else if (chave == "textos")
      o.medidas.textos = n;
    else
      falha(arquivo, "opção desconhecida: " + chave);
  }
  return o;
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

// NOME.quem: "X Y" a line, and the step the map gives (written when rewriting).
std::string quem(const std::string &arquivo, const OlpaPassos *passos) {
  std::istringstream linhas(le_arquivo(arquivo));
  std::string saida;
  for (int x, y; linhas >> x >> y;) {
    std::string resto;
    std::getline(linhas, resto);
    saida += std::to_string(x) + " " + std::to_string(y) + " " +
             std::to_string(olpa_passos_quem_pintou(passos, x, y)) + "\n";
  }
  return saida;
}

void um_programa(const std::string &onde, const std::string &base, bool so_reprise) {
  const std::string codigo = le_arquivo(base + ".olp");
  const Opcoes opcoes = opcoes_de(base + ".opcoes");
  const Gravada g = roda_programa(codigo, opcoes.medidas);
  if (!g.compilou)
    return falha(onde, "não compilou:\n" + g.erros);
  if (!so_reprise && !opcoes.so_reprise) {
    std::string texto;
    for (uint32_t i = 0; i < g.registro.entradas.size(); i++)
      texto += olpa_registro_passo(g.registro, i) + "\n";
    confere(onde, base + ".passos", texto + olpa_registro_fim(g.registro));
    OlpaPassosPtr passos = olpa_passos_cria(&g.registro);
    while (!olpa_passos_percorre(passos.get(), 100)) {
    }
    confere(onde, base + ".aviso", olpa_avisos_do_registro(g.registro, passos.get(), codigo));
    if (existe(base + ".quem"))
      confere(onde, base + ".quem", quem(base + ".quem", passos.get()));
  }
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
    um_programa(nome, caso.substr(0, caso.size() - 4), true);
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
      um_programa(nome + "/" + p, caso + "/" + p, false);
  } else
    um_programa(nome, caso, false);
  printf("%s: %s\n", nome.c_str(), falhas ? "FALHOU" : regrava ? "regravado" : "ok");
  return falhas ? 1 : 0;
}
