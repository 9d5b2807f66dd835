// Mutated programs fed through the runner as "Rodar" feeds them. Seeds are
// the example programs (plus a few of our own); each is broken in random
// ways (bit flips, cuts, lost or repeated lines, stray tokens) and run with
// a short time limit. Every run must end either in success (result 1, the
// console then ending in "[olpa] sucesso!") or in a reported failure (result
// 0 with an "[erro" line and the error look); the console must stay valid
// UTF-8; this process must neither crash nor hang; and after a batch a known
// program must still draw its known picture.
//
// fuzz_rodar --semente N --quantidade M [--exemplos DIR] [--tempo-limite S]
//            [--guarda DIR]   (DIR: where failing programs are written)
#include "apoio.h"
#include "olpaparser.h"

#include <glib.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace {

// Deterministic across standard libraries (splitmix64).
struct Sorteio {
  uint64_t estado;
  uint64_t proximo() {
    uint64_t z = (estado += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  size_t ate(size_t n) { return n ? static_cast<size_t>(proximo() % n) : 0; }
};

const char *const SEMENTES_PROPRIAS[] = {
    "int main(void) {\n  inicia();\n  cor(255, 0, 0);\n  traco(4);\n  linha(0, 0, 640, 480);\n"
    "  termina();\n  return 0;\n}\n",
    "int main(void) {\n  int i;\n  char t[64];\n  inicia();\n  origem(320, 240);\n"
    "  for (i = 0; i < 36; i++) {\n    cor_e_opacidade(i * 7, 255 - i * 7, 128, 80);\n"
    "    linha(0, 0, 200, 0);\n    rotaciona(10);\n  }\n  sprintf(t, \"%d raios\\n\", i);\n"
    "  escreve_console(t);\n  termina();\n  return 0;\n}\n",
    "int main(void) {\n  inicia_arquivo(\"a.png\");\n  escala(2, 2);\n  anda_ate(10, 10);\n"
    "  linha_ate(50, 50);\n  grava_tela(\"a.png\");\n  opacidade(50);\n  anda(5, 5);\n"
    "  linha_ate(-20, 30);\n  grava_tela(\"b.png\");\n  termina();\n  return 0;\n}\n",
    "int quadrado(int x) { return x * x; }\nint main(void) {\n  int v[10], i;\n"
    "  inicia();\n  for (i = 0; i < 10; i++)\n    v[i] = quadrado(i);\n"
    "  for (i = 0; i < 10; i++)\n    linha(i * 60, 0, i * 60, v[i]);\n  termina();\n"
    "  return 0;\n}\n",
};

const char *const FICHAS[] = {
    "*",
    "(",
    ")",
    "{",
    "}",
    ";",
    "0",
    "/",
    "while(1)",
    "while(1);",
    "inicia();",
    "termina();",
    "2147483647",
    "-2147483648",
    "99999999999999999999",
    "\"",
    "/*",
    "*/",
    "//",
    "'",
    "\\",
    "0/0",
    "1/0",
    "[",
    "]",
    "#",
    "#include <stdio.h>\n",
    "return",
    "main",
    "int",
    "char *p = 0; *p = 1;",
    "exit(3);",
    "for(;;);",
    "main();",
    "x",
    "\n",
    ",",
    "->",
    "...",
    "\xc3\xa7",
    "sprintf(0, \"%s\");",
    "grava_tela(\"z.png\");",
    "inicia_arquivo(\"w.png\");",
    "escala(0, 0);",
    "rotaciona(2147483647);",
    "traco(-1);",
    "escreve_console(\"a\\n\");",
    // Programs that misbehave on purpose.
    "while(1) escreve_console(\"inunda a tela \");",
    "int f(int x) { return f(x + 1) + 1; }",
    "f(1);",
    "static char enorme[1 << 30]; enorme[1 << 29] = 1;",
    "char pilha[100000000]; pilha[0] = 1;",
    "for(;;) malloc(1 << 24);",
    "abort();",
    "escreve_console((char *)1);",
    "escreve_console(0);",
    "grava_tela(0);",
    "grava_tela(\"\");",
    "inicia_arquivo(0);",
    "escala(-1, -1);",
    "linha(2147483647, -2147483648, 0, 0);",
    "traco(2147483647);",
    "int z = 0; z = 1 / z;",
    "sprintf((char *)0, \"%d\", 1);",
    "while (1) inicia();",
    "for(;;) grava_tela(\"n.png\");",
};

std::vector<std::string> linhas_de(const std::string &t) {
  std::vector<std::string> v;
  size_t i = 0;
  while (i < t.size()) {
    size_t f = t.find('\n', i);
    if (f == std::string::npos)
      f = t.size() - 1;
    v.push_back(t.substr(i, f - i + 1));
    i = f + 1;
  }
  return v;
}

std::string junta(const std::vector<std::string> &v) {
  std::string t;
  for (const auto &l : v)
    t += l;
  return t;
}

std::string muta(std::string p, Sorteio &s) {
  const size_t vezes = 1 + s.ate(4);
  for (size_t k = 0; k < vezes; k++) {
    switch (s.ate(8)) {
    case 0: // bit flip
      if (!p.empty())
        p[s.ate(p.size())] ^= static_cast<char>(1u << s.ate(8));
      break;
    case 1: // truncation
      p.resize(s.ate(p.size() + 1));
      break;
    case 2: { // deleted line
      auto v = linhas_de(p);
      if (!v.empty())
        v.erase(v.begin() + static_cast<long>(s.ate(v.size())));
      p = junta(v);
      break;
    }
    case 3: { // repeated line
      auto v = linhas_de(p);
      if (!v.empty()) {
        const size_t i = s.ate(v.size());
        const size_t n = 1 + s.ate(s.ate(4) == 0 ? 200 : 3);
        v.insert(v.begin() + static_cast<long>(i), n, v[i]);
      }
      p = junta(v);
      break;
    }
    case 4: // token spliced in anywhere
      p.insert(s.ate(p.size() + 1), FICHAS[s.ate(sizeof FICHAS / sizeof *FICHAS)]);
      break;
    case 5: { // token put at the start of a line, where a statement may stand
      auto v = linhas_de(p);
      if (!v.empty())
        v[s.ate(v.size())].insert(0, FICHAS[s.ate(sizeof FICHAS / sizeof *FICHAS)]);
      p = junta(v);
      break;
    }
    case 6: { // a number made huge or negative
      const size_t i = s.ate(p.size() + 1);
      const size_t d = p.find_first_of("0123456789", i);
      if (d != std::string::npos)
        p.insert(d, s.ate(2) ? "9999999" : "-");
      break;
    }
    default: { // swapped lines
      auto v = linhas_de(p);
      if (v.size() > 1)
        std::swap(v[s.ate(v.size())], v[s.ate(v.size())]);
      p = junta(v);
      break;
    }
    }
  }
  return p;
}

// The window's side of a run, without the window.
struct Console {
  std::string texto;
  int erros = 0;
};
Console console;
void insere(const char *t) {
  console.texto += t;
}
void substitui(const char *t) {
  console.texto = t;
}
void erro() {
  console.erros++;
}

bool termina_com(const std::string &t, const std::string &fim) {
  return t.size() >= fim.size() && t.compare(t.size() - fim.size(), fim.size(), fim) == 0;
}

bool tem_linha_de_erro(const std::string &t) {
  for (size_t i = 0; i < t.size(); i = t.find('\n', i) + 1) {
    if (t.compare(i, 5, "[erro") == 0)
      return true;
    if (t.find('\n', i) == std::string::npos)
      break;
  }
  return false;
}

// Runs as olpa_codigo_fonte does; returns an empty string when the outcome
// is one the window can show, else what is wrong.
std::string roda_e_confere(const std::string &programa, int *resultado) {
  console = Console{};
  console.texto = "[olpa] compilando\n";
  *resultado = parser_executa(programa.c_str());
  if (*resultado == 1)
    console.texto += "[olpa] sucesso!\n";
  if (!g_utf8_validate(console.texto.data(), static_cast<gssize>(console.texto.size()), nullptr))
    return "console text is not valid UTF-8";
  if (*resultado == 1) {
    if (!termina_com(console.texto, "[erro fatal] linguagem olpa ausente.\n") && console.erros)
      return "success with the error look";
    return "";
  }
  if (*resultado != 0)
    return "result " + std::to_string(*resultado);
  if (!tem_linha_de_erro(console.texto))
    return "failure without an [erro line";
  if (console.erros == 0)
    return "failure without the error look";
  return "";
}

// Clearing as "Limpar" does, then a known program: the runner still works
// and draws what it should.
std::string canario() {
  olpa_gfx_fecha_tela();
  olpa_gfx_defs();
  remove("../telas/imagem.png");
  int r = 0;
  const std::string problema = roda_e_confere(SEMENTES_PROPRIAS[0], &r);
  if (!problema.empty() || r != 1)
    return "known program failed: " + console.texto;
  if (console.texto != "[olpa] compilando\n[olpa] sucesso!\n")
    return "known program's console: " + console.texto;
  OlpaSurface s = le_png("../telas/imagem.png");
  if (!s)
    return "known program wrote no picture";
  if (pixel(s.get(), 320, 240) != 0xffff0000u || pixel(s.get(), 600, 20) != 0xff000000u)
    return "known program's picture is wrong";
  return "";
}

// Long consoles shown by their two ends.
std::string resumo(const std::string &t) {
  if (t.size() <= 600)
    return t;
  return t.substr(0, 300) + "\n[... " + std::to_string(t.size() - 600) + " bytes ...]\n" +
         t.substr(t.size() - 300);
}

int indice_atual = -1;
uint64_t semente_atual = 0;

void ao_morrer(int sinal) {
  char texto[160];
  const int n = snprintf(texto, sizeof texto,
                         "\nFATAL: fuzz harness got signal %d at program %d (seed %llu)\n", sinal,
                         indice_atual, static_cast<unsigned long long>(semente_atual));
  if (n > 0 && write(STDERR_FILENO, texto, static_cast<size_t>(n)) < 0) {
  }
  signal(sinal, SIG_DFL);
  raise(sinal);
}

std::vector<std::string> le_sementes(const std::string &pasta) {
  std::vector<std::string> v;
  std::vector<std::string> nomes;
  if (DIR *d = opendir(pasta.c_str())) {
    while (dirent *e = readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".olp") == 0)
        nomes.push_back(n);
    }
    closedir(d);
  }
  std::sort(nomes.begin(), nomes.end()); // same seeds, same order, everywhere
  for (const auto &n : nomes)
    v.push_back(le_arquivo(pasta + "/" + n));
  const size_t exemplos = v.size();
  for (const char *p : SEMENTES_PROPRIAS)
    v.push_back(p);
  fprintf(stderr, "seeds: %zu example programs from %s, %zu of our own\n", exemplos, pasta.c_str(),
          v.size() - exemplos);
  return v;
}

} // namespace

int main(int argc, char **argv) {
  uint64_t semente = 1;
  long quantidade = 150;
  double limite = 0.5;
  std::string exemplos = std::string(OLPA_FONTE_DIR) + "/exemplos";
  std::string guarda;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string op = argv[i];
    if (op == "--semente")
      semente = strtoull(argv[i + 1], nullptr, 10);
    else if (op == "--quantidade")
      quantidade = atol(argv[i + 1]);
    else if (op == "--tempo-limite")
      limite = atof(argv[i + 1]);
    else if (op == "--exemplos")
      exemplos = argv[i + 1];
    else if (op == "--guarda")
      guarda = argv[i + 1];
    else {
      fprintf(stderr, "unknown option %s\n", op.c_str());
      return 2;
    }
  }
  if (!guarda.empty() && guarda[0] != '/') {
    char *atual = g_get_current_dir();
    guarda = std::string(atual) + "/" + guarda;
    g_free(atual);
  }
  semente_atual = semente;
  signal(SIGSEGV, ao_morrer);
  signal(SIGBUS, ao_morrer);
  signal(SIGABRT, ao_morrer);
  signal(SIGFPE, ao_morrer);
  signal(SIGALRM, ao_morrer); // our own watchdog: a run that hangs the harness

  const std::vector<std::string> sementes = le_sementes(exemplos);
  RaizTemporaria raiz;
  parser_define_saida({insere, substitui, erro, nullptr});
  parser_define_tempo_limite(limite);
  FILE *nulo = fopen("/dev/null", "w");
  parser_define_trace(fileno(nulo));
  olpa_gfx_define_trace([](const char *, size_t) {});

  Sorteio s{semente};
  long sucessos = 0, falhas = 0, achados = 0;
  long tempo_esgotado = 0, interrompidos = 0, de_compilacao = 0;
  const double inicio = g_get_monotonic_time() / 1e6;
  const long rss_inicio = [] {
    long kb = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
      long paginas = 0, residentes = 0;
      if (fscanf(f, "%ld %ld", &paginas, &residentes) == 2)
        kb = residentes * (sysconf(_SC_PAGESIZE) / 1024);
      fclose(f);
    }
    return kb;
  }();
  for (long i = 0; i < quantidade; i++) {
    indice_atual = static_cast<int>(i);
    const std::string programa = muta(sementes[s.ate(sementes.size())], s);
    alarm(static_cast<unsigned>(limite * 4) + 20);
    int r = 0;
    std::string problema = roda_e_confere(programa, &r);
    if (problema.empty() && (i + 1) % 50 == 0)
      problema = canario();
    alarm(0);
    if (r == 1) {
      sucessos++;
    } else {
      falhas++;
      if (console.texto.find("tempo limite") != std::string::npos)
        tempo_esgotado++;
      else if (console.texto.find("interrompido") != std::string::npos)
        interrompidos++;
      else
        de_compilacao++;
    }
    if (!problema.empty()) {
      achados++;
      fprintf(stderr, "FINDING at program %ld (seed %llu): %s\n--- console ---\n%s\n", i,
              static_cast<unsigned long long>(semente), problema.c_str(),
              resumo(console.texto).c_str());
      if (!guarda.empty()) {
        g_mkdir_with_parents(guarda.c_str(), 0755);
        escreve_arquivo(guarda + "/achado-" + std::to_string(semente) + "-" + std::to_string(i) +
                            ".c",
                        programa);
      }
    }
  }
  const std::string ultimo = canario();
  if (!ultimo.empty()) {
    achados++;
    fprintf(stderr, "FINDING after the last program: %s\n", ultimo.c_str());
  }
  parser_encerra();
  const double duracao = g_get_monotonic_time() / 1e6 - inicio;
  long rss_fim = 0;
  if (FILE *f = fopen("/proc/self/statm", "r")) {
    long paginas = 0, residentes = 0;
    if (fscanf(f, "%ld %ld", &paginas, &residentes) == 2)
      rss_fim = residentes * (sysconf(_SC_PAGESIZE) / 1024);
    fclose(f);
  }
  printf("fuzz: %ld programs, seed %llu, time limit %gs: %ld ran to the end, %ld failed "
         "(%ld compile/link, %ld stopped by the time limit, %ld interrupted); %.1f s; "
         "RSS %ld -> %ld kB\n",
         quantidade, static_cast<unsigned long long>(semente), limite, sucessos, falhas,
         de_compilacao, tempo_esgotado, interrompidos, duracao, rss_inicio, rss_fim);
  printf("%ld passed, %ld failed\n", quantidade - achados, achados);
  fclose(nulo);
  return achados == 0 ? 0 : 1;
}
