// The case runner (see README.md): runs a case's programs one press of
// "Rodar" each, in one process and a fresh run tree, and compares what the
// window would show with the case's expected files.
//
// roda_caso CASO [PROGRAMA]   CASO: tests/casos/NOME (NOME.olp or NOME/NN.olp);
//                             PROGRAMA: another program for a single step
// OLPA_REGRAVA=1 rewrites the expected files from what the runs gave.
#include "suporte.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include <dirent.h>
#include <glib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const bool regrava = getenv("OLPA_REGRAVA") != nullptr;
std::string raiz; // the run tree
int falhas = 0;

void falha(const std::string &passo, const std::string &texto) {
  fprintf(stderr, "FALHA %s: %s\n", passo.c_str(), texto.c_str());
  falhas++;
}

bool existe(const std::string &caminho) {
  return access(caminho.c_str(), F_OK) == 0;
}

std::vector<std::string> nomes_em(const std::string &pasta) {
  std::vector<std::string> nomes;
  if (DIR *d = opendir(pasta.c_str())) {
    while (dirent *e = readdir(d))
      if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
        nomes.push_back(e->d_name);
    closedir(d);
  }
  std::sort(nomes.begin(), nomes.end());
  return nomes;
}

// ------------------------------------------------------------ options

struct Opcoes {
  double tempo_limite = 10;
  bool isolado = false;
  bool arvore_mudada = false; // the run tree is not a fresh one
};

// NOME.opcoes (or NOME/opcoes), one a line: "tempo-limite S", "isolado",
// "ambiente VAR=valor", "arquivo CAMINHO TEXTO", "remove CAMINHO".
Opcoes aplica_opcoes(const std::string &arquivo) {
  Opcoes o;
  std::istringstream linhas(le_arquivo(arquivo));
  for (std::string linha; std::getline(linhas, linha);) {
    std::istringstream in(linha);
    std::string chave, valor, resto;
    in >> chave >> valor;
    std::getline(in >> std::ws, resto);
    if (chave == "tempo-limite")
      o.tempo_limite = g_ascii_strtod(valor.c_str(), nullptr);
    else if (chave == "isolado")
      o.isolado = true;
    else if (chave == "ambiente")
      putenv(strdup(valor.c_str()));
    else if (chave == "arquivo")
      escreve_arquivo(raiz + "/" + valor, resto), o.arvore_mudada = true;
    else if (chave == "remove")
      o.arvore_mudada = system(("rm -rf '" + raiz + "/" + valor + "'").c_str()) >= 0;
    else if (!chave.empty() && chave[0] != '#')
      falha(arquivo, "opção desconhecida: " + chave);
  }
  return o;
}

// ------------------------------------------------------------ what a run leaves

// Files of the run tree but telas/, with their bytes.
void fotografa(const std::string &pasta, std::map<std::string, std::string> *foto) {
  for (const std::string &nome : nomes_em(raiz + pasta)) {
    const std::string caminho = pasta + "/" + nome;
    struct stat info;
    if (caminho == "/telas" || lstat((raiz + caminho).c_str(), &info) != 0)
      continue;
    (*foto)[caminho] = S_ISDIR(info.st_mode) ? "pasta" : le_arquivo(raiz + caminho);
    if (S_ISDIR(info.st_mode))
      fotografa(caminho, foto);
  }
}

// "imagem.png 640x480" for a 640 x 480 8-bit RGBA PNG; other files by size.
std::string descreve_telas() {
  std::string s;
  for (const std::string &nome : nomes_em(raiz + "/telas")) {
    const std::string b = le_arquivo(raiz + "/telas/" + nome);
    auto u32 = [&](size_t i) {
      return (uint8_t)b[i] << 24 | (uint8_t)b[i + 1] << 16 | (uint8_t)b[i + 2] << 8 |
             (uint8_t)b[i + 3];
    };
    s += " " + nome;
    if (b.size() > 26 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
      s += " " + std::to_string(u32(16)) + "x" + std::to_string(u32(20)) +
           (b[24] == 8 && b[25] == 6 ? "" : " (não é RGBA de 8 bits)");
    else
      s += " (" + std::to_string(b.size()) + " bytes)";
    s += ";";
  }
  return s.empty() ? " nada" : s.substr(0, s.size() - 1);
}

// The console text with runs of equal lines shortened, then what else the
// window would show: the expected file's format.
std::string relato(const Rodada &r) {
  std::string s;
  std::vector<std::string> linhas;
  for (size_t i = 0; i < r.console.size();) {
    const size_t fim = std::min(r.console.find('\n', i), r.console.size() - 1);
    linhas.push_back(r.console.substr(i, fim - i + 1));
    i = fim + 1;
  }
  for (size_t i = 0; i < linhas.size();) {
    size_t j = i;
    while (j < linhas.size() && linhas[j] == linhas[i])
      j++;
    s += linhas[i];
    if (j - i > 2) // a line said many times
      s += "#= repetida mais " + std::to_string(j - i - 1) + " vezes\n";
    else
      s += j - i == 2 ? linhas[i] : "";
    i = j;
  }
  if (!s.empty() && s.back() != '\n')
    s += "\n#= sem quebra de linha no fim\n";
  s += "#= resultado " + std::to_string(r.resultado) + (r.erro ? ", console de erro" : "") + "\n";
  if (!r.linhas.empty()) {
    s += "#= linhas marcadas";
    for (int l : r.linhas)
      s += " " + std::to_string(l);
    s += "\n";
  }
  s += std::string("#= exportar ") + olpa_arquivo_exportar +
       (olpa_arquivo_gravamanual ? " (gravação manual)" : "") + "\n";
  return s + "#= telas:" + descreve_telas() + "\n";
}

std::string primeira_diferenca(const std::string &esperado, const std::string &obtido) {
  std::istringstream a(esperado), b(obtido);
  std::string la, lb;
  for (int n = 1;; n++) {
    const bool ha = static_cast<bool>(std::getline(a, la)),
               hb = static_cast<bool>(std::getline(b, lb));
    if (!ha && !hb)
      return "(só no fim de linha)";
    if (ha != hb || la != lb)
      return "linha " + std::to_string(n) + "\n  esperado: " + (ha ? la.substr(0, 300) : "(nada)") +
             "\n  obtido:   " + (hb ? lb.substr(0, 300) : "(nada)");
  }
}

// ------------------------------------------------------------ pictures

// Hand-computed pixels: "X Y #AARRGGBB", "X0-X1 Y0-Y1 #AARRGGBB", each
// colour optionally "~T" (every channel within T); "[nome.png]" turns to
// another picture in telas/. Lines starting with "#" are comments.
void confere_pontos(const std::string &passo, const std::string &arquivo,
                    const std::string &exportada) {
  std::istringstream linhas(le_arquivo(arquivo));
  Imagem im;
  std::string nome = exportada;
  bool lida = le_png(nome, &im);
  for (std::string linha; std::getline(linhas, linha);) {
    if (linha.empty() || linha[0] == '#')
      continue;
    if (linha[0] == '[') {
      nome = "../telas/" + linha.substr(1, linha.find(']') - 1);
      lida = le_png(nome, &im);
      continue;
    }
    int x0, x1, y0, y1, tol = 0;
    unsigned cor;
    char xs[32], ys[32];
    if (sscanf(linha.c_str(), "%31s %31s #%x~%d", xs, ys, &cor, &tol) < 3 ||
        sscanf(xs, "%d-%d", &x0, &x1) < 1 || sscanf(ys, "%d-%d", &y0, &y1) < 1) {
      falha(passo, "linha de pontos ilegível: " + linha);
      continue;
    }
    if (!strchr(xs, '-') || xs[0] == '-')
      x1 = x0;
    if (!strchr(ys, '-') || ys[0] == '-')
      y1 = y0;
    if (!lida) {
      falha(passo, "não há imagem legível em " + nome);
      return;
    }
    long erradas = 0;
    std::string primeira;
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++) {
        const uint32_t p = x < 0 || y < 0 || x >= im.largura || y >= im.altura ? 0 : im.em(x, y);
        bool perto = true;
        for (int c = 0; c < 32; c += 8)
          perto = perto &&
                  abs(static_cast<int>((p >> c) & 255) - static_cast<int>((cor >> c) & 255)) <= tol;
        if (!perto && erradas++ == 0)
          primeira = g_strdup_printf("(%d, %d) é #%08X", x, y, p);
      }
    if (erradas)
      falha(passo,
            nome + ": " + linha + ": " + std::to_string(erradas) + " pixels diferem; " + primeira);
  }
}

void confere_imagem(const std::string &passo, const std::string &esperado,
                    const std::string &saida) {
  const std::string exportada = olpa_arquivo_exportar;
  Imagem obtida;
  const bool ha = le_png(exportada, &obtida);
  const bool com_pontos = existe(esperado + ".pontos");
  if (regrava) {
    if (ha && (existe(esperado + ".png") || !com_pontos))
      escreve_arquivo(esperado + ".png", le_arquivo(exportada));
    else if (!ha)
      remove((esperado + ".png").c_str());
  } else if (existe(esperado + ".png")) {
    Imagem referencia;
    le_png(esperado + ".png", &referencia);
    const long n = ha ? compara(referencia, obtida, saida + ".diferenca.png") : -2;
    if (n != 0) {
      if (ha)
        escreve_arquivo(saida + ".obtida.png", le_arquivo(exportada));
      falha(passo, n == -2 ? "não há imagem em " + exportada
                   : n == -1
                       ? "a imagem tem outro tamanho"
                       : std::to_string(n) + " pixels diferem; veja " + saida + ".diferenca.png");
    }
  } else if (ha && !com_pontos) {
    falha(passo, "a imagem não tem referência (OLPA_REGRAVA=1 faz uma)");
  }
  if (com_pontos)
    confere_pontos(passo, esperado + ".pontos", exportada);
}

// ------------------------------------------------------------ processes

// Every process a run left (this one is their reaper), killed once reported.
void confere_processos(const std::string &passo) {
  std::string sobras;
  for (int tentativa = 0; tentativa < 50; tentativa++) {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    sobras.clear();
    for (const std::string &nome : nomes_em("/proc")) {
      std::istringstream stat(le_arquivo("/proc/" + nome + "/stat"));
      std::string pid, comando, estado;
      long pai = 0;
      if (stat >> pid >> comando >> estado >> pai && pai == getpid())
        sobras += " " + pid + " " + comando;
    }
    if (sobras.empty())
      return;
    g_usleep(10 * 1000);
  }
  falha(passo, "processos deixados para trás:" + sobras);
  for (std::istringstream in(sobras); in;) {
    int pid = 0;
    std::string comando;
    if (in >> pid >> comando)
      kill(pid, SIGKILL);
  }
}

// A single program must leave the same console through olpa-rodar, which
// also exits 0 only when the run succeeded.
void confere_olpa_rodar(const std::string &passo, const std::string &programa, const Opcoes &o,
                        const Rodada &r) {
  RaizTemporaria outra;
  char limite[32];
  g_ascii_dtostr(limite, sizeof limite, o.tempo_limite);
  const char *argv[] = {OLPA_BIN_DIR "/olpa-rodar", "--tempo-limite", limite, programa.c_str(),
                        nullptr};
  gchar *saida = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_STDERR_TO_DEV_NULL,
                    nullptr, nullptr, &saida, nullptr, &status, nullptr))
    return falha(passo, "olpa-rodar não rodou");
  if (saida != r.console)
    falha(passo, "olpa-rodar mostra outro console: " + primeira_diferenca(r.console, saida));
  if (!WIFEXITED(status) || (WEXITSTATUS(status) == 0) != (r.resultado == 1))
    falha(passo, "olpa-rodar saiu com " + std::to_string(status));
  g_free(saida);
}

// ------------------------------------------------------------ one step

Rodada passo(const std::string &nome, const std::string &esperado, const std::string &programa,
             int trace, const std::string &saida) {
  const std::map<std::string, std::string> antes = [] {
    std::map<std::string, std::string> f;
    fotografa("", &f);
    return f;
  }();
  ftruncate(trace, 0);
  lseek(trace, 0, SEEK_SET);
  const Rodada r = roda(le_arquivo(programa));
  parser_encerra();
  const std::string obtido = relato(r);
  if (regrava) {
    escreve_arquivo(esperado + ".console", obtido);
  } else if (!existe(esperado + ".console")) {
    falha(nome, "falta " + esperado + ".console (OLPA_REGRAVA=1 faz um)");
  } else if (const std::string e = le_arquivo(esperado + ".console"); e != obtido) {
    falha(nome, "o console difere na " + primeira_diferenca(e, obtido));
  }
  if (existe(esperado + ".trace")) {
    std::string linhas(static_cast<size_t>(lseek(trace, 0, SEEK_END)), '\0');
    (void)!pread(trace, linhas.data(), linhas.size(), 0);
    if (regrava)
      escreve_arquivo(esperado + ".trace", linhas);
    else if (linhas != le_arquivo(esperado + ".trace"))
      falha(nome,
            "o rastro difere na " + primeira_diferenca(le_arquivo(esperado + ".trace"), linhas));
  }
  confere_imagem(nome, esperado, saida);
  confere_processos(nome);
  std::map<std::string, std::string> depois;
  fotografa("", &depois);
  if (depois != antes)
    falha(nome, "o programa mudou arquivos fora de telas/");
  return r;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "uso: roda_caso CASO [PROGRAMA]\n");
    return 2;
  }
  std::string caso = argv[1];
  const bool pasta = g_file_test(caso.c_str(), G_FILE_TEST_IS_DIR);
  const std::string arquivo_opcoes = caso + (pasta ? "/opcoes" : ".opcoes");
  // Cases that attack the machine run in a PID namespace of their own.
  if (le_arquivo(arquivo_opcoes).find("isolado") != std::string::npos &&
      !getenv("OLPA_CASO_ISOLADO")) {
    char *eu = g_file_read_link("/proc/self/exe", nullptr);
    setenv("OLPA_CASO_ISOLADO", "1", 1);
    std::vector<char *> args = {(char *)"unshare",      (char *)"--pid",        (char *)"--fork",
                                (char *)"--mount-proc", (char *)"--kill-child", eu};
    args.insert(args.end(), argv + 1, argv + argc);
    args.push_back(nullptr);
    execvp("unshare", args.data());
    perror("unshare");
    return 1;
  }
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  char *absoluto = g_canonicalize_filename(caso.c_str(), nullptr);
  caso = absoluto;
  g_free(absoluto);
  char *p = g_canonicalize_filename(argc > 2 ? argv[2] : (caso + ".olp").c_str(), nullptr);
  const std::string programa = p, nome = g_path_get_basename(caso.c_str());
  g_free(p);
  const std::string saida = std::string(OLPA_SAIDA_DIR) + "/" + nome;
  g_mkdir_with_parents(OLPA_SAIDA_DIR, 0755);

  RaizTemporaria arvore;
  raiz = arvore.raiz;
  const Opcoes o = aplica_opcoes(arquivo_opcoes);
  parser_define_tempo_limite(o.tempo_limite);
  const int trace = memfd_create("rastro", 0);
  parser_define_trace(trace);
  olpa_gfx_define_trace([](const char *, size_t) {});
  olpa_gfx_defs();

  if (!pasta) {
    const Rodada r = passo(nome, caso, programa, trace, saida);
    if (!o.isolado && !o.arvore_mudada && !regrava)
      confere_olpa_rodar(nome, programa, o, r);
  } else {
    for (const std::string &n : nomes_em(caso))
      if (g_str_has_suffix(n.c_str(), ".olp")) {
        const std::string base = n.substr(0, n.size() - 4);
        passo(nome + "/" + base, caso + "/" + base, caso + "/" + n, trace, saida + "-" + base);
      }
  }
  printf("%s: %s\n", nome.c_str(), falhas ? "FALHOU" : regrava ? "regravado" : "ok");
  return falhas ? 1 : 0;
}
