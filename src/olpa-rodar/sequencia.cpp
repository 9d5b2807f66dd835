// SPDX-License-Identifier: GPL-3.0-or-later
// Several code files run one after the other in this process, as presses of
// "Rodar" in one window: the export path and manual saving carry from one to
// the next. Each file's console text is headed by its name when there are
// several; with a pictures folder, each picture is kept under its file's
// name; with --passos, each run's record of calls follows its console.
#include "olpa_rodar.h"

#include "figuras.h"
#include "textos.h"

#include "olpa_registro.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <cerrno>
#include <cstdio>
#include <set>

#include <glib.h>
#include <unistd.h>

namespace {

// Keeps the picture the last run wrote at the export path as PASTA/NAME.png,
// NAME being the code file's (a second file of the same name gets "-2").
bool guarda_figura(const ParserResultado &r, const std::string &arquivo, const std::string &pasta,
                   std::set<std::string> *usados) {
  if (!r.figura_gravada)
    return true;
  const std::string base = arquivo == "-" ? "entrada" : texto_nome_base(arquivo);
  std::string nome = base;
  for (int k = 2; !usados->insert(nome).second; k++)
    nome = base + "-" + std::to_string(k);
  std::string motivo = "não é um arquivo comum dentro de telas";
  const int fd = parser_abre_em_telas(r.caminho.c_str());
  Pixels figura;
  const bool lida = fd >= 0 && parser_le_figura_fd(fd, &figura, &motivo);
  if (fd >= 0)
    close(fd);
  if (lida && figura_grava(figura.data(), pasta + "/" + nome + ".png", &motivo))
    return true;
  fprintf(stderr, "olpa-rodar: a figura de \"%s\" não foi guardada: %s.\n",
          texto_de_uma_linha(arquivo).c_str(), motivo.c_str());
  return false;
}

} // namespace

int rodar_em_sequencia(const std::vector<std::string> &arquivos, const std::string &figuras,
                       bool passos) {
  std::vector<std::string> codigos(arquivos.size());
  for (size_t i = 0; i < arquivos.size(); i++) {
    std::string erro;
    if (!rodar_le_arquivo(arquivos[i].c_str(), &codigos[i], &erro)) {
      const std::string &nome = arquivos[i];
      fprintf(stderr, "olpa-rodar: não foi possível ler %s: %s\n",
              nome == "-" ? "a entrada padrão" : ("\"" + texto_de_uma_linha(nome) + "\"").c_str(),
              erro.c_str());
      return 2;
    }
  }
  // Without the pictures' folder no program could leave a picture: a run
  // there would be no test of anything.
  if (!g_file_test("../telas", G_FILE_TEST_IS_DIR)) {
    fprintf(stderr, "olpa-rodar: a pasta ../telas não existe: rode o olpa-rodar de dentro da "
                    "pasta bin do olpa (por exemplo, cd ~/olpa/bin).\n");
    return 1;
  }
  if (!figuras.empty() && g_mkdir_with_parents(figuras.c_str(), 0755) != 0) {
    fprintf(stderr, "olpa-rodar: não foi possível criar a pasta \"%s\": %s.\n",
            texto_de_uma_linha(figuras).c_str(), g_strerror(errno));
    return 2;
  }
  rodar_prepara(STDERR_FILENO);
  olpa_gfx_defs();
  std::set<std::string> nomes_usados;
  const bool terminal = isatty(STDOUT_FILENO);
  bool tudo_certo = true;
  for (size_t i = 0; i < codigos.size(); i++) {
    const std::string &arquivo = arquivos[i];
    if (codigos.size() > 1)
      printf("%s==> %s <==\n", i > 0 ? "\n" : "",
             arquivo == "-" ? "(entrada padrão)" : texto_de_uma_linha(arquivo).c_str());
    ParserResultado r;
    bool certo = rodar_executa(codigos[i], &r);
    // The record of a program that never ran has no calls.
    std::string texto =
        passos ? r.texto + olpa_registro_lista(r.registro ? *r.registro : OlpaRegistro{}) : r.texto;
    // A terminal would obey the program's control characters (clear the
    // screen, retitle the window, rewrite a line): show them instead.
    if (terminal)
      texto = parser_escapa_controles(texto);
    fwrite(texto.data(), 1, texto.size(), stdout);
    fflush(stdout);
    if (certo && !figuras.empty())
      certo = guarda_figura(r, arquivo, figuras, &nomes_usados);
    tudo_certo = certo && tudo_certo;
  }
  parser_encerra();
  return tudo_certo ? 0 : 1;
}
