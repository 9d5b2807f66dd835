// The case runner (README.md): runs a case's programs, one press of
// "Rodar" each, in one process and a fresh run tree, and compares what the
// window would show with the case's expected files.
//
// roda_caso CASO [PROGRAMA]   CASO: casos/NOME (NOME.olp, or NOME/NN.olp);
//                             PROGRAMA: another program for a single step
// roda_caso --fuzz SEMENTE QUANTIDADE CASO   mutated examples first (fuzz_rodar.cpp)
// OLPA_REGRAVA=1 rewrites the expected files from what the runs gave.
#include "olpagfx.h"
#include "olpaparser.h"
#include "suporte.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <termios.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

int fuzz(uint64_t semente, long quantidade); // fuzz_rodar.cpp
// What is wrong with a report page in a real browser (navegador.cpp).
std::vector<std::string> confere_navegador(const std::string &pagina,
                                           const std::vector<std::string> &textos);

namespace {

const bool regrava = getenv("OLPA_REGRAVA") != nullptr;
std::string raiz; // the run tree
int falhas = 0;

void falha(const std::string &passo, const std::string &texto) {
  fprintf(stderr, "FALHA %s: %s\n", passo.c_str(), texto.c_str());
  falhas++;
}
std::vector<std::string> nomes_em(const std::string &pasta) {
  std::vector<std::string> nomes;
  if (DIR *d = opendir(pasta.c_str())) {
    while (dirent *e = readdir(d))
      if (e->d_name[0] != '.')
        nomes.push_back(e->d_name);
    closedir(d);
  }
  std::sort(nomes.begin(), nomes.end());
  return nomes;
}

// NOME.opcoes (NOME/opcoes), one a line: "tempo-limite S", "sem-espera",
// "isolado", "ambiente VAR=valor", "arquivo CAMINHO TEXTO", "remove CAMINHO",
// and what a hostile program or person may leave: "link CAMINHO ALVO", "fifo
// CAMINHO", "pasta CAMINHO", "modo CAMINHO OCTAL". Returns whether the run
// tree differs from a fresh one.
bool aplica_opcoes(const std::string &arquivo) {
  bool mudada = false;
  std::istringstream linhas(le_arquivo(arquivo));
  for (std::string linha; std::getline(linhas, linha);) {
    std::istringstream in(linha);
    std::string chave, valor, resto;
    in >> chave >> valor;
    std::getline(in >> std::ws, resto);
    if (chave == "tempo-limite") // olpa-rodar too
      parser_define_tempo_limite(g_ascii_strtod(valor.c_str(), nullptr)),
          setenv("OLPA_LIMITE", valor.c_str(), 1);
    else if (chave == "sem-espera") // olpa-rodar too
      parser_define_sem_espera(true), setenv("OLPA_SEM_ESPERA", "--sem-espera", 1);
    else if (chave == "ambiente")
      putenv(strdup(valor.c_str()));
    else if (chave == "arquivo") // C escapes ("\\n", "\\377") name what git cannot keep
      escreve_arquivo(raiz + "/" + glib(g_strcompress(valor.c_str())),
                      glib(g_strcompress(resto.c_str()))),
          mudada = true;
    else if (chave == "remove")
      mudada = system(("rm -rf '" + raiz + "/" + valor + "'").c_str()) >= 0;
    else if (chave == "link")
      mudada = symlink(resto.c_str(), (raiz + "/" + valor).c_str()) == 0 || mudada;
    else if (chave == "fifo")
      mudada = mkfifo((raiz + "/" + valor).c_str(), 0644) == 0 || mudada;
    else if (chave == "pasta")
      mudada = g_mkdir_with_parents((raiz + "/" + valor).c_str(), 0755) == 0 || mudada;
    else if (chave == "modo")
      mudada =
          chmod((raiz + "/" + valor).c_str(), strtol(resto.c_str(), nullptr, 8)) == 0 || mudada;
    else if (!chave.empty() && chave != "isolado" && chave != "sem-olpa-rodar" &&
             chave != "navegador" && chave != "mostra" && chave[0] != '#')
      falha(arquivo, "opção desconhecida: " + chave);
  }
  return mudada;
}

// ------------------------------------------------------------ what a run leaves

// Files of the run tree but telas/, with their bytes.
void fotografa(const std::string &pasta, std::map<std::string, std::string> *foto) {
  for (const std::string &nome : nomes_em(raiz + pasta)) {
    const std::string caminho = pasta + "/" + nome, completo = raiz + caminho;
    if (caminho == "/telas")
      continue;
    const bool e_pasta = g_file_test(completo.c_str(), G_FILE_TEST_IS_DIR);
    struct stat info {};
    lstat(completo.c_str(), &info); // permissions too: a program may not change them
    (*foto)[caminho] =
        std::to_string(info.st_mode) + (e_pasta ? " pasta" : " " + le_arquivo(completo));
    if (e_pasta)
      fotografa(caminho, foto);
  }
}

// The console text with runs of equal lines written once, then what else
// the window would show: the expected file's format.
std::string relato(const Rodada &r) {
  std::string s, anterior;
  int repeticoes = 0; // more than once again: said once, and how many times more
  const auto fecha = [&] {
    s += repeticoes > 1 ? "#= repetida mais " + std::to_string(repeticoes) + " vezes\n"
         : repeticoes   ? anterior + "\n"
                        : "";
  };
  std::istringstream linhas(r.console);
  for (std::string linha; std::getline(linhas, linha);) {
    if (linha == anterior && ++repeticoes)
      continue;
    fecha();
    s += linha + "\n", anterior = linha, repeticoes = 0;
  }
  fecha();
  if (!r.console.empty() && r.console.back() != '\n')
    s += "#= sem quebra de linha no fim\n";
  s += "#= resultado " + std::to_string(r.resultado) + (r.erro ? ", console de erro\n" : "\n");
  const auto lista = [&s](const char *titulo, const std::vector<int> &linhas) {
    for (size_t i = 0; i < linhas.size(); i++)
      s += (i ? " " : titulo) + std::to_string(linhas[i]) + (i + 1 < linhas.size() ? "" : "\n");
  };
  lista("#= linhas marcadas ", r.linhas);
  lista("#= linhas com aviso ", r.avisos);
  s += std::string("#= exportar ") + olpa_arquivo_exportar +
       (olpa_arquivo_gravamanual ? " (gravação manual)\n" : "\n") + "#= telas:";
  for (const std::string &nome : nomes_em(raiz + "/telas")) {
    // What is not a regular file is named for what it is (and never opened).
    struct stat info;
    lstat((raiz + "/telas/" + nome).c_str(), &info);
    if (!S_ISREG(info.st_mode)) {
      const std::string alvo =
          S_ISLNK(info.st_mode) ? glib(g_file_read_link((raiz + "/telas/" + nome).c_str(), nullptr))
                                : "";
      s += " " + nome +
           (S_ISLNK(info.st_mode)    ? " (link para " + alvo + ")"
            : S_ISFIFO(info.st_mode) ? " (pipe)"
            : S_ISDIR(info.st_mode)  ? " (pasta)"
                                     : " (especial)");
      continue;
    }
    const std::string b = le_arquivo(raiz + "/telas/" + nome);
    Imagem im;
    s += " " + nome +
         (b.size() > 25 && b[24] == 8 && b[25] == 6 && le_png(raiz + "/telas/" + nome, &im)
              ? " " + std::to_string(im.largura) + "x" + std::to_string(im.altura)
              : " (" + std::to_string(b.size()) + " bytes, não é PNG RGBA)");
  }
  return s + (nomes_em(raiz + "/telas").empty() ? " nada\n" : "\n");
}

std::string primeira_diferenca(const std::string &esperado, const std::string &obtido) {
  std::istringstream a(esperado), b(obtido);
  std::string la, lb;
  for (int n = 1;; n++) {
    const bool ha = !!std::getline(a, la), hb = !!std::getline(b, lb);
    if (ha != hb || la != lb)
      return "linha " + std::to_string(n) + "\n  esperado: " + (ha ? la.substr(0, 300) : "(nada)") +
             "\n  obtido:   " + (hb ? lb.substr(0, 300) : "(nada)");
  }
}

void confere_texto(const std::string &passo, const std::string &arquivo,
                   const std::string &obtido) {
  if (regrava)
    escreve_arquivo(arquivo, obtido);
  else if (!existe(arquivo))
    falha(passo, "falta " + arquivo + " (OLPA_REGRAVA=1 faz um)");
  else if (le_arquivo(arquivo) != obtido)
    falha(passo, arquivo + " difere na " + primeira_diferenca(le_arquivo(arquivo), obtido));
}

// ------------------------------------------------------------ pictures

// Hand-computed pixels (README.md): "X Y #AARRGGBB", ranges "X0-X1", "~T".
void confere_pontos(const std::string &passo, const std::string &arquivo, std::string nome) {
  std::istringstream linhas(le_arquivo(arquivo));
  Imagem im;
  bool lida = le_png(nome, &im);
  const auto faixa = [](const std::string &t, int *a, int *b) {
    return sscanf(t.c_str(), "%d-%d", a, b) == 2 ||
           (sscanf(t.c_str(), "%d", a) == 1 && (*b = *a, true));
  };
  for (std::string linha; std::getline(linhas, linha);) {
    if (linha.empty() || linha[0] == '#')
      continue;
    if (linha[0] == '[') {
      lida = le_png(nome = "../telas/" + linha.substr(1, linha.find(']') - 1), &im);
      continue;
    }
    std::istringstream in(linha);
    std::string xs, ys, cs;
    in >> xs >> ys >> cs;
    int x0, x1, y0, y1, tol = 0;
    unsigned cor;
    if (!faixa(xs, &x0, &x1) || !faixa(ys, &y0, &y1) ||
        sscanf(cs.c_str(), "#%x~%d", &cor, &tol) < 1)
      falha(passo, "linha de pontos ilegível: " + linha);
    long erradas = 0;
    std::string primeira;
    for (int y = y0; lida && y <= y1; y++)
      for (int x = x0; x <= x1; x++) {
        const bool fora = x < 0 || y < 0 || x >= im.largura || y >= im.altura;
        const uint32_t p = fora ? 0 : im.em(x, y);
        bool perto = !fora;
        for (int c = 0; c < 32; c += 8)
          perto = perto && abs(int((p >> c) & 255) - int((cor >> c) & 255)) <= tol;
        if (!perto && erradas++ == 0)
          primeira = glib(g_strdup_printf("(%d, %d) é #%08X", x, y, p));
      }
    if (!lida || erradas)
      falha(passo,
            nome + ": " + linha + ": " +
                (lida ? std::to_string(erradas) + " pixels diferem; " + primeira : "ilegível"));
  }
}

// The picture at the export path against NOME.png and NOME.pontos.
void confere_imagem(const std::string &passo, const std::string &esperado,
                    const std::string &saida) {
  const std::string exportada = olpa_arquivo_exportar, png = esperado + ".png";
  Imagem obtida, referencia;
  const bool ha = le_png(exportada, &obtida), pontos = existe(esperado + ".pontos");
  if (regrava && ha && (existe(png) || !pontos))
    escreve_arquivo(png, le_arquivo(exportada));
  else if (regrava && !ha)
    remove(png.c_str());
  else if (!regrava && le_png(png, &referencia)) {
    const long n = ha ? compara(referencia, obtida, saida + ".diferenca.png") : -2;
    if (n > 0)
      escreve_arquivo(saida + ".obtida.png", le_arquivo(exportada));
    if (n)
      falha(passo, n == -2   ? "não há imagem em " + exportada
                   : n == -1 ? "a imagem tem outro tamanho"
                             : std::to_string(n) + " pixels diferem; veja " + saida + ".*.png");
  } else if (!regrava && ha && !pontos) {
    falha(passo, "a imagem não tem referência (OLPA_REGRAVA=1 faz uma)");
  }
  if (pontos)
    confere_pontos(passo, esperado + ".pontos", exportada);
}

// Every process a run left (this one is their reaper): reported, then killed.
void confere_processos(const std::string &passo) {
  std::string sobras;
  for (int tentativa = 0; tentativa < 50; tentativa++, g_usleep(10 * 1000)) {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    sobras.clear();
    for (const std::string &pid : nomes_em("/proc")) {
      std::istringstream stat(le_arquivo("/proc/" + pid + "/stat"));
      std::string eu, comando, estado;
      long pai = 0;
      if (stat >> eu >> comando >> estado >> pai && pai == getpid())
        sobras += " " + pid + " " + comando, kill(std::stoi(pid), tentativa == 49 ? SIGKILL : 0);
    }
    if (sobras.empty())
      return;
  }
  falha(passo, "processos deixados para trás:" + sobras);
}

// A single program gives the same console through olpa-rodar, which exits 0
// only when the run succeeded.
void confere_olpa_rodar(const std::string &passo, const std::string &programa, const Rodada &r) {
  RaizTemporaria outra;
  const char *sem_espera = getenv("OLPA_SEM_ESPERA");
  const char *argv[] = {OLPA_BIN_DIR "/olpa-rodar",
                        "--tempo-limite",
                        getenv("OLPA_LIMITE"),
                        sem_espera ? sem_espera : programa.c_str(),
                        sem_espera ? programa.c_str() : nullptr,
                        nullptr};
  gchar *saida = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_STDERR_TO_DEV_NULL,
                    nullptr, nullptr, &saida, nullptr, &status, nullptr))
    return falha(passo, "olpa-rodar não rodou");
  const std::string console = glib(saida);
  if (console != r.console)
    falha(passo, "olpa-rodar mostra outro console: " + primeira_diferenca(r.console, console));
  if (!WIFEXITED(status) || (WEXITSTATUS(status) == 0) != (r.resultado == 1))
    falha(passo, "olpa-rodar saiu com " + std::to_string(status));
}

// ------------------------------------------------------------ olpa-rodar itself

// A case with a `comando` file (README.md): its files copied to bin/, each
// line of `comando` one olpa-rodar run there, what they print against
// `saida`, files under `esperado/` against the ones left, `.pontos` there
// against their pictures, and the page named by "navegador" in a browser.
void confere_esperados(const std::string &passo, const std::string &esperado,
                       const std::string &deixado) {
  for (const std::string &n : nomes_em(esperado)) {
    const std::string e = esperado + "/" + n, d = deixado + n;
    if (g_file_test(e.c_str(), G_FILE_TEST_IS_DIR))
      confere_esperados(passo, e, d + "/");
    else if (g_str_has_suffix(n.c_str(), ".pontos"))
      confere_pontos(passo, e, d.substr(0, d.size() - 7) + ".png");
    else
      confere_texto(passo, e, le_arquivo(d));
  }
}

void roda_comando(const std::string &caso, const std::string &nome) {
  for (const std::string &n : nomes_em(caso))
    if (n != "comando" && n != "saida" && n != "esperado" && n != "opcoes" &&
        system(("cp -r '" + caso + "/" + n + "' .").c_str()) != 0)
      falha(nome, "não copiou " + n);
  std::istringstream linhas(le_arquivo(caso + "/comando"));
  std::string relato;
  for (std::string linha; std::getline(linhas, linha);) {
    gchar **args = nullptr;
    if (linha.empty() || linha[0] == '#' ||
        !g_shell_parse_argv(linha.c_str(), nullptr, &args, nullptr))
      continue;
    std::vector<std::string> argv = {OLPA_BIN_DIR "/olpa-rodar"};
    for (gchar **a = args; *a; a++)
      argv.push_back(glib(g_strcompress(*a)));
    g_strfreev(args);
    std::vector<char *> c;
    for (std::string &a : argv)
      c.push_back(a.data());
    c.push_back(nullptr);
    gchar *saida = nullptr, *erros = nullptr;
    gint status = 0;
    if (!g_spawn_sync(nullptr, c.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &saida, &erros,
                      &status, nullptr))
      return falha(nome, "olpa-rodar não rodou");
    relato += "$ " + linha + "\n" + glib(saida);
    // Its own messages; not the trace lines (compiler warnings, "[arq-s] ...").
    std::istringstream e(glib(erros));
    for (std::string l; std::getline(e, l);)
      if (l.rfind("olpa-rodar:", 0) == 0 || l.rfind("uso:", 0) == 0)
        relato += "#: " + l + "\n";
    relato += "#= saída " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\n";
  }
  confere_texto(nome, caso + "/saida", relato);
  confere_esperados(nome, caso + "/esperado", "");
  confere_processos(nome);
  std::istringstream opcoes(le_arquivo(caso + "/opcoes"));
  std::string pagina;
  std::vector<std::string> textos;
  for (std::string linha; std::getline(opcoes, linha);)
    if (linha.rfind("navegador ", 0) == 0)
      pagina = linha.substr(10);
    else if (linha.rfind("mostra ", 0) == 0)
      textos.push_back(linha.substr(7));
  if (!pagina.empty())
    for (const std::string &f : confere_navegador(pagina, textos))
      falha(nome, f);
}

// One press of "Rodar" and everything checked after it.
Rodada passo(const std::string &nome, const std::string &esperado, const std::string &programa,
             int rastro, const std::string &saida) {
  std::map<std::string, std::string> antes, depois;
  fotografa("", &antes);
  ftruncate(rastro, 0);
  // The program as "Abrir" would put it in the editor (and olpa-rodar reads it).
  std::string codigo, motivo;
  if (!parser_le_codigo(programa.c_str(), &codigo, &motivo))
    falha(nome, programa + ": " + motivo);
  const Rodada r = roda(codigo);
  parser_encerra();
  confere_texto(nome, esperado + ".console", relato(r));
  if (existe(esperado + ".trace")) {
    std::string linhas(static_cast<size_t>(lseek(rastro, 0, SEEK_END)), '\0');
    confere_texto(
        nome, esperado + ".trace",
        linhas.substr(0, std::max<ssize_t>(0, pread(rastro, linhas.data(), linhas.size(), 0))));
  }
  confere_imagem(nome, esperado, saida);
  confere_processos(nome);
  fotografa("", &depois);
  if (depois != antes)
    falha(nome, "o programa mudou arquivos fora de telas/");
  return r;
}

// Whatever the case did, the next program runs and draws: a green line on a
// canvas it leaves open, read from the canvas handed back (no file needed).
void confere_seguinte(const std::string &nome) {
  const Rodada r = roda("int main(void) { inicia(); cor(0, 255, 0); traco(4); "
                        "linha(0, 240, 640, 240); return 0; }");
  parser_encerra();
  cairo_surface_t *tela = olpa_tela.get();
  bool desenhou = false;
  if (tela) {
    cairo_surface_flush(tela);
    const unsigned char *dados = cairo_image_surface_get_data(tela);
    auto em = [&](int x, int y) {
      return *reinterpret_cast<const uint32_t *>(dados + y * cairo_image_surface_get_stride(tela) +
                                                 x * 4);
    };
    desenhou = em(320, 240) == 0xff00ff00u && em(320, 100) == 0xff000000u;
  }
  // It leaves its canvas open: the console says so, and nothing else.
  const bool so_isso = g_str_has_prefix(r.console.c_str(), "[olpa] compilando\n[olpa] ") &&
                       g_str_has_suffix(r.console.c_str(), "termina(), então a figura não foi "
                                                           "gravada (a tela mostra o desenho até "
                                                           "aqui).\n[olpa] sucesso!\n");
  if (r.resultado != 1 || !so_isso || !desenhou)
    falha(nome, "o programa seguinte não rodou ou não desenhou: " + r.console);
  olpa_gfx_fecha_tela();
  confere_processos(nome + " (seguinte)");
}

// NOME.terminal: what olpa-rodar shows on a terminal (its control characters
// escaped), byte for byte.
void confere_terminal(const std::string &nome, const std::string &esperado,
                      const std::string &programa) {
  const int mestre = posix_openpt(O_RDWR | O_NOCTTY);
  if (mestre < 0 || grantpt(mestre) != 0 || unlockpt(mestre) != 0)
    return falha(nome, "sem terminal para olpa-rodar");
  const int escravo = open(ptsname(mestre), O_RDWR | O_NOCTTY);
  termios modo;
  tcgetattr(escravo, &modo);
  cfmakeraw(&modo); // no translation of line ends
  tcsetattr(escravo, TCSANOW, &modo);
  RaizTemporaria outra;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(escravo, STDOUT_FILENO);
    execl(OLPA_BIN_DIR "/olpa-rodar", "olpa-rodar", programa.c_str(), nullptr);
    _exit(127);
  }
  close(escravo);
  std::string saida;
  char bloco[4096];
  for (ssize_t n; (n = read(mestre, bloco, sizeof bloco)) > 0;)
    saida.append(bloco, static_cast<size_t>(n));
  close(mestre);
  waitpid(pid, nullptr, 0);
  confere_texto(nome, esperado, saida);
}

} // namespace

int main(int argc, char **argv) {
  const bool fuzz_antes = argc == 5 && strcmp(argv[1], "--fuzz") == 0;
  if (fuzz_antes)
    argv += 3, argc -= 3;
  if (argc < 2)
    return fprintf(stderr, "uso: roda_caso [--fuzz SEMENTE QUANTIDADE] CASO [PROGRAMA]\n"), 2;
  std::string caso = glib(g_canonicalize_filename(argv[1], nullptr));
  const bool pasta = g_file_test(caso.c_str(), G_FILE_TEST_IS_DIR);
  std::string opcoes = caso + (pasta ? "/opcoes" : ".opcoes");
  const bool isolado = le_arquivo(opcoes).find("isolado") != std::string::npos;
  // Cases that attack the machine run in a PID namespace of their own.
  if (isolado && !getenv("OLPA_CASO_ISOLADO")) {
    setenv("OLPA_CASO_ISOLADO", "1", 1);
    std::vector<char *> args = {
        strdup("unshare"),      strdup("--pid"),
        strdup("--fork"),       strdup("--mount-proc"),
        strdup("--kill-child"), g_file_read_link("/proc/self/exe", nullptr)};
    args.insert(args.end(), argv + 1, argv + argc + 1);
    execvp("unshare", args.data());
    return perror("unshare"), 1;
  }
  // The namespace keeps a kill of every process inside; a fork bomb needs a
  // cap on processes too, which binds no one as root: the case runs as nobody
  // (but for rewriting its expected files, which nobody may not).
  std::string copia; // the case's files where nobody can read them
  if (isolado && geteuid() == 0 && !regrava) {
    copia = glib(g_dir_make_tmp("olpa-caso-XXXXXX", nullptr));
    const std::string de = pasta ? "'" + caso + "'" : "'" + caso + "'.*";
    if (system(
            ("cp -r " + de + " '" + copia + "/' && chown -R 65534:65534 '" + copia + "'").c_str()))
      return fprintf(stderr, "roda_caso: não copiou %s\n", caso.c_str()), 1;
    caso = copia + "/" + glib(g_path_get_basename(caso.c_str()));
    opcoes = caso + (pasta ? "/opcoes" : ".opcoes");
    const rlimit teto{256, 256};
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setrlimit(RLIMIT_NPROC, &teto) != 0 ||
        setuid(65534) != 0)
      return perror("roda_caso: sem teto de processos"), 1;
  }
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const std::string programa =
      glib(g_canonicalize_filename(argc > 2 ? argv[2] : (caso + ".olp").c_str(), nullptr));
  const std::string nome = glib(g_path_get_basename(caso.c_str()));
  g_mkdir_with_parents(OLPA_SAIDA_DIR, 0755);
  const int rastro = memfd_create("rastro", 0);
  parser_define_trace(rastro);
  olpa_gfx_define_trace([](const char *, size_t) {});
  if (fuzz_antes) { // in a run tree of its own
    RaizTemporaria arvore;
    falhas += fuzz(strtoull(argv[-1], nullptr, 10), atol(argv[0]));
  }
  RaizTemporaria arvore;
  raiz = arvore.raiz;
  olpa_gfx_fecha_tela();
  olpa_gfx_defs();
  parser_define_tempo_limite(10);
  setenv("OLPA_LIMITE", "10", 1);
  const bool arvore_mudada = aplica_opcoes(opcoes);
  if (pasta && existe(caso + "/comando"))
    roda_comando(caso, nome);
  else if (!pasta) {
    const Rodada r = passo(nome, caso, programa, rastro, std::string(OLPA_SAIDA_DIR "/") + nome);
    if (!isolado && !arvore_mudada && !regrava &&
        le_arquivo(opcoes).find("sem-olpa-rodar") == std::string::npos)
      confere_olpa_rodar(nome, programa, r);
  }
  for (const std::string &n :
       pasta && !existe(caso + "/comando") ? nomes_em(caso) : std::vector<std::string>{})
    if (g_str_has_suffix(n.c_str(), ".olp")) {
      const std::string base = n.substr(0, n.size() - 4);
      passo(nome + "/" + base, caso + "/" + base, caso + "/" + n, rastro,
            std::string(OLPA_SAIDA_DIR "/") + nome + "-" + base);
    }
  if (!pasta && existe(caso + ".terminal"))
    confere_terminal(nome, caso + ".terminal", programa);
  confere_seguinte(nome);
  printf("%s: %s\n", nome.c_str(), falhas ? "FALHOU" : regrava ? "regravado" : "ok");
  if (!copia.empty() && system(("rm -rf '" + copia + "'").c_str()) != 0)
    fprintf(stderr, "roda_caso: %s ficou\n", copia.c_str());
  return falhas ? 1 : 0;
}
