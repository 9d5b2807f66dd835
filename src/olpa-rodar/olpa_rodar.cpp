// olpa-rodar: runs code files exactly as "Rodar" would with that text in the
// editor (read as "Abrir" reads them), one after the other in one process,
// and prints the console text the window would show after each run. For
// teachers and tests.
#include "olpagfx.h"
#include "olpaparser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <glib.h>
#include <unistd.h>

namespace {

std::string console;

void console_insere(const char *texto) {
  console += texto;
}
void console_substitui(const char *texto) {
  console = texto;
}

void uso() {
  fprintf(stderr, "uso: olpa-rodar [--tempo-limite SEGUNDOS] ARQUIVO...\n"
                  "Roda cada arquivo de código (\"-\" para a entrada padrão) como o botão "
                  "\"Rodar\" e mostra o texto do console.\n");
}

// A code file as "Abrir" takes it; "-" is standard input.
bool le_arquivo(const char *nome, std::string *texto) {
  std::string motivo;
  bool lido;
  if (strcmp(nome, "-") == 0) {
    std::string bytes;
    char bloco[65536];
    size_t n;
    while (bytes.size() <= PARSER_LIMITE_CODIGO && (n = fread(bloco, 1, sizeof bloco, stdin)) > 0)
      bytes.append(bloco, n);
    if (ferror(stdin))
      motivo = "erro de leitura";
    lido = !ferror(stdin) && parser_decodifica_codigo(bytes, texto, &motivo);
  } else {
    lido = parser_le_codigo(nome, texto, &motivo);
  }
  if (!lido)
    fprintf(stderr, "olpa-rodar: não foi possível ler \"%s\": %s\n", nome, motivo.c_str());
  return lido;
}

// One press of "Rodar": the console text it leaves, and whether it succeeded.
bool roda(const std::string &codigo) {
  console = "[olpa] compilando\n";
  if (parser_executa(codigo.c_str()) != 1)
    return false;
  console += "[olpa] sucesso!\n";
  fprintf(stderr, "[tamanho] %s, %d\n", olpa_arquivo_exportar,
          olpa_gfx_tamanho_arquivo(olpa_arquivo_exportar));
  return true;
}

} // namespace

int main(int argc, char **argv) {
  std::vector<const char *> arquivos;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--tempo-limite") == 0) {
      char *fim = nullptr;
      const double s = i + 1 < argc ? g_ascii_strtod(argv[i + 1], &fim) : 0;
      if (i + 1 >= argc || !fim || *fim != '\0' || !(s > 0) || s > 86400) {
        fprintf(stderr, "olpa-rodar: --tempo-limite pede um número de segundos maior que zero.\n");
        return 2;
      }
      parser_define_tempo_limite(s);
      i++;
    } else if (strcmp(argv[i], "--ajuda") == 0 || strcmp(argv[i], "--help") == 0) {
      uso();
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      fprintf(stderr, "olpa-rodar: opção desconhecida: %s\n", argv[i]);
      uso();
      return 2;
    } else {
      arquivos.push_back(argv[i]);
    }
  }
  if (arquivos.empty()) {
    uso();
    return 2;
  }
  std::vector<std::string> codigos(arquivos.size());
  for (size_t i = 0; i < arquivos.size(); i++)
    if (!le_arquivo(arquivos[i], &codigos[i]))
      return 2;

  parser_define_saida({console_insere, console_substitui, nullptr, nullptr});
  parser_define_trace(STDERR_FILENO);
  olpa_gfx_define_trace([](const char *texto, size_t n) { fwrite(texto, 1, n, stderr); });
  olpa_gfx_defs();
  // A terminal would obey the program's control characters (clear the
  // screen, retitle the window, rewrite a line): show them instead.
  const bool terminal = isatty(STDOUT_FILENO);
  bool tudo_certo = true;
  for (const std::string &codigo : codigos) {
    tudo_certo = roda(codigo) && tudo_certo;
    fputs(terminal ? parser_escapa_controles(console).c_str() : console.c_str(), stdout);
    fflush(stdout);
  }
  parser_encerra();
  return tudo_certo ? 0 : 1;
}
