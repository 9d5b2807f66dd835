// SPDX-License-Identifier: GPL-3.0-or-later
// Mutated example programs through the runner, as "Rodar" feeds them (run
// by roda_caso --fuzz before a case, which must then still pass). Every run
// ends in success without the error look, or in a failure with the error
// look and an "[erro" line saying why; no line named or marked is outside
// the program; the console stays valid UTF-8; and the runner neither
// crashes nor hangs.
#include "olpa_funcoes.h"
#include "olpagfx.h"
#include "olpaparser.h"
#include "suporte.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <glib.h>
#include <unistd.h>

namespace {

// Stray tokens, one a line.
const std::string FICHAS =
    "*\n(\n)\n{\n}\n;\n0\n/\n\"\n/*\n'\n\\\n#\n[\n]\n\xc3\xa7\n2147483647\n"
    "-2147483648\nwhile(1);\ninicia();\ntermina();\nmain();\n1/0\nexit(3);\n"
    "char *p = 0; *p = 1;\nabort();\nescala(0, 0);\ntraco(2147483647);\n"
    "grava_tela(0);\nescreve_console((char *)1);\nfor(;;) malloc(1 << 24);\n"
    "while(1) escreve_console(\"inunda \");\nint f(int x) { return f(x + 1); } f(1);\n";

uint64_t estado;
size_t sorteia(size_t n) { // splitmix64: the same programs everywhere
  uint64_t z = (estado += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return n ? (z ^ (z >> 31)) % n : 0;
}

std::string muta(std::string p) {
  for (size_t k = 1 + sorteia(4); k > 0; k--) {
    const size_t i = sorteia(p.size() + 1), l = p.rfind('\n', i);
    const size_t linha = l == std::string::npos ? 0 : l + 1;
    const size_t fim = std::min(p.find('\n', linha), p.size());
    switch (sorteia(5)) {
    case 0: // a flipped bit, a cut, a lost or doubled line, a stray token
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
    default: { // a token where a statement may stand, or anywhere
      size_t f = sorteia(FICHAS.size()), inicio = FICHAS.rfind('\n', f);
      inicio = f == 0 || inicio == std::string::npos ? 0 : inicio + 1;
      p.insert(sorteia(2) ? i : linha, FICHAS.substr(inicio, FICHAS.find('\n', inicio) - inicio));
    }
    }
  }
  return p;
}

// A line that a message names (or a mark) outside the program.
std::string linha_fora(const std::string &programa, const Rodada &r) {
  const int linhas = static_cast<int>(std::count(programa.begin(), programa.end(), '\n')) +
                     (programa.empty() || programa.back() == '\n' ? 0 : 1);
  std::vector<int> citadas = r.linhas;
  citadas.insert(citadas.end(), r.avisos.begin(), r.avisos.end());
  for (const char *marca : {"[erro] linha ", "[aviso] linha "})
    for (size_t i = 0; (i = r.console.find(marca, i)) != std::string::npos; i++)
      citadas.push_back(atoi(r.console.c_str() + i + strlen(marca)));
  for (int n : citadas)
    if (n < 1 || n > std::max(linhas, 1))
      return "linha " + std::to_string(n) + " fora do programa de " + std::to_string(linhas);
  return "";
}

std::string problema(const std::string &programa, const Rodada &r) {
  if (!g_utf8_validate(r.console.data(), static_cast<gssize>(r.console.size()), nullptr))
    return "console que não é UTF-8";
  if (const std::string fora = linha_fora(programa, r); !fora.empty())
    return fora;
  if (r.resultado == 1)
    return r.erro ? "sucesso com o console de erro" : "";
  if (!r.erro)
    return "falha sem o console de erro";
  return r.console.find("\n[erro") == std::string::npos ? "falha sem linha [erro" : "";
}

} // namespace

int fuzz(uint64_t semente, long quantidade) {
  estado = semente;
  std::vector<std::string> sementes;
  for (const char *pasta : {OLPA_FONTE_DIR "/exemplos/"})
    if (DIR *d = opendir(pasta)) {
      while (dirent *e = readdir(d))
        if (g_str_has_suffix(e->d_name, ".olp"))
          sementes.push_back(le_arquivo(std::string(pasta) + e->d_name));
      closedir(d);
    }
  std::sort(sementes.begin(), sementes.end());
  int achados = 0;
  std::string todas; // the seeds reach every function a program can call
  for (const std::string &s : sementes)
    todas += s;
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    if (todas.find(std::string(f.nome) + "(") == std::string::npos && ++achados)
      fprintf(stderr, "ACHADO: nenhum exemplo chama %s\n", f.nome);
  // espera returns at once: an animation's pauses would be most of the time,
  // and espera's own cases check them.
  parser_define_tempo_limite(0.3);
  parser_define_sem_espera(true);
  for (long i = 0; i < quantidade && !sementes.empty(); i++) {
    const std::string programa = muta(sementes[sorteia(sementes.size())]);
    alarm(30); // a hang ends this process
    const Rodada r = roda(programa);
    alarm(0);
    if (const std::string p = problema(programa, r); !p.empty() && ++achados)
      fprintf(stderr, "ACHADO no programa %ld: %s\n--- programa ---\n%s\n--- console ---\n%.600s\n",
              i, p.c_str(), programa.c_str(), r.console.c_str());
    if (i % 20 == 19) // as "Limpar" does
      olpa_gfx_fecha_tela(), olpa_gfx_defs();
  }
  parser_define_sem_espera(false);
  printf("fuzz: %ld programas, %d achados\n", quantidade, achados);
  return achados;
}
