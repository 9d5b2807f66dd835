// Mutated example programs through the runner, as "Rodar" feeds them. Every
// run must end in success without the error look, or in a failure with the
// error look and an "[erro" line saying why; the console stays valid UTF-8;
// this process neither crashes nor hangs; and afterwards a case's program
// still gives exactly that case's console and picture.
//
// fuzz_rodar SEMENTE QUANTIDADE [TEMPO_LIMITE]   (failing programs go to stderr)
#include "suporte.h"
#include "olpa_funcoes.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

namespace {

const char *const FICHAS[] = {"*",
                              "(",
                              ")",
                              "{",
                              "}",
                              ";",
                              "0",
                              "/",
                              "\"",
                              "/*",
                              "'",
                              "\\",
                              "#",
                              "[",
                              "]",
                              "\n",
                              "\xc3\xa7",
                              "2147483647",
                              "-2147483648",
                              "while(1);",
                              "inicia();",
                              "termina();",
                              "main();",
                              "1/0",
                              "char *p = 0; *p = 1;",
                              "exit(3);",
                              "abort();",
                              "escala(0, 0);",
                              "traco(2147483647);",
                              "grava_tela(0);",
                              "escreve_console((char *)1);",
                              "for(;;) malloc(1 << 24);",
                              "while(1) escreve_console(\"inunda \");",
                              "int f(int x) { return f(x + 1); } f(1);"};

uint64_t estado;
size_t sorteia(size_t n) { // splitmix64: the same programs everywhere
  uint64_t z = (estado += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return n ? (z ^ (z >> 31)) % n : 0;
}

size_t inicio_de_linha(const std::string &p) {
  const size_t i = p.rfind('\n', sorteia(p.size() + 1));
  return i == std::string::npos ? 0 : i + 1;
}

std::string muta(std::string p) {
  for (size_t k = 1 + sorteia(4); k > 0; k--) {
    const size_t i = sorteia(p.size() + 1), linha = inicio_de_linha(p);
    const size_t fim = std::min(p.find('\n', linha), p.size());
    switch (sorteia(5)) {
    case 0:
      if (i < p.size())
        p[i] ^= static_cast<char>(1 << sorteia(8));
      break;
    case 1:
      p.resize(i);
      break;
    case 2:
      p.erase(linha, fim - linha);
      break;
    case 3:
      p.insert(linha, p.substr(linha, fim - linha + 1));
      break;
    default:
      p.insert(sorteia(2) ? i : linha, FICHAS[sorteia(sizeof FICHAS / sizeof *FICHAS)]);
    }
  }
  return p;
}

std::string problema(const Rodada &r) {
  if (!g_utf8_validate(r.console.data(), static_cast<gssize>(r.console.size()), nullptr))
    return "console que não é UTF-8";
  if (r.resultado == 1)
    return r.erro ? "sucesso com o console de erro" : "";
  if (!r.erro)
    return "falha sem o console de erro";
  return r.console.find("\n[erro") == std::string::npos ? "falha sem linha [erro" : "";
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3)
    return fprintf(stderr, "uso: fuzz_rodar SEMENTE QUANTIDADE [TEMPO_LIMITE]\n"), 2;
  estado = strtoull(argv[1], nullptr, 10);
  const long quantidade = atol(argv[2]);
  const double limite = argc > 3 ? g_ascii_strtod(argv[3], nullptr) : 0.3;
  std::vector<std::string> sementes;
  const std::string pasta = OLPA_FONTE_DIR "/exemplos/";
  if (DIR *d = opendir(pasta.c_str())) {
    while (dirent *e = readdir(d))
      if (g_str_has_suffix(e->d_name, ".olp"))
        sementes.push_back(le_arquivo(pasta + e->d_name));
    closedir(d);
  }
  std::sort(sementes.begin(), sementes.end());
  if (sementes.empty())
    return fprintf(stderr, "sem exemplos em %s\n", pasta.c_str()), 2;

  int achados = 0;
  std::string todas; // the seeds reach every function a program can call
  for (const std::string &s : sementes)
    todas += s;
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    if (todas.find(std::string(f.nome) + "(") == std::string::npos && ++achados)
      fprintf(stderr, "ACHADO: nenhum exemplo chama %s\n", f.nome);

  RaizTemporaria raiz;
  parser_define_trace(open("/dev/null", O_WRONLY));
  olpa_gfx_define_trace([](const char *, size_t) {});
  for (long i = 0; i < quantidade; i++) {
    const std::string programa = muta(sementes[sorteia(sementes.size())]);
    parser_define_tempo_limite(limite);
    alarm(static_cast<unsigned>(limite * 4) + 20); // a hang ends this process
    const Rodada r = roda(programa);
    alarm(0);
    if (const std::string p = problema(r); !p.empty() && ++achados)
      fprintf(stderr, "ACHADO no programa %ld: %s\n--- programa ---\n%s\n--- console ---\n%.600s\n",
              i, p.c_str(), programa.c_str(), r.console.c_str());
    if ((i + 1) % 20 == 0) { // as after "Limpar"
      olpa_gfx_fecha_tela();
      olpa_gfx_defs();
    }
  }
  // The runner still gives a case exactly what the case expects.
  const std::string caso = OLPA_FONTE_DIR "/tests/casos/linha_vermelha";
  olpa_gfx_fecha_tela();
  olpa_gfx_defs();
  const Rodada r = roda(le_arquivo(caso + ".olp"));
  Imagem esperada, obtida;
  if (le_arquivo(caso + ".console").rfind(r.console, 0) != 0 || !le_png(caso + ".png", &esperada) ||
      !le_png("../telas/imagem.png", &obtida) || compara(esperada, obtida) != 0)
    achados++, fprintf(stderr, "ACHADO: depois dos programas, linha_vermelha mudou\n");
  parser_encerra();
  printf("%ld passed, %d failed\n", quantidade - achados, achados);
  return achados ? 1 : 0;
}
