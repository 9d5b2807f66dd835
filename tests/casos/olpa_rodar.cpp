// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar itself: each single program's console again through it, the
// cases of its own (a `comando` file), and what it shows on a terminal.
#include "caso.h"

#include <csignal>
#include <cstdlib>
#include <sstream>

#include <fcntl.h>
#include <glib.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

// What is wrong with a report page in a real browser (navegador.cpp).
std::vector<std::string> confere_navegador(const std::string &pagina,
                                           const std::vector<std::string> &textos,
                                           const std::vector<std::string> &buscas);

// A single program gives the same console through olpa-rodar, which exits 0
// only when the run succeeded (and with --passos, the same record after it).
void confere_olpa_rodar(const std::string &passo, const std::string &programa, const Rodada &r,
                        bool passos) {
  RaizTemporaria outra;
  const char *sem_espera = getenv("OLPA_SEM_ESPERA");
  std::vector<const char *> argv = {OLPA_BIN_DIR "/olpa-rodar", "--tempo-limite",
                                    getenv("OLPA_LIMITE")};
  if (sem_espera)
    argv.push_back(sem_espera);
  if (passos)
    argv.push_back("--passos");
  argv.push_back(programa.c_str());
  argv.push_back(nullptr);
  gchar *saida = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, const_cast<gchar **>(argv.data()), nullptr, G_SPAWN_STDERR_TO_DEV_NULL,
                    nullptr, nullptr, &saida, nullptr, &status, nullptr))
    return falha(passo, "olpa-rodar não rodou");
  // With --passos, the record follows the console.
  const std::string console = glib(saida);
  const std::string esperado = passos ? r.console + lista_de_passos(r) : r.console;
  if (sem_avisos(console) != sem_avisos(esperado))
    falha(passo, "olpa-rodar mostra outro console: " + primeira_diferenca(esperado, console));
  if (!WIFEXITED(status) || (WEXITSTATUS(status) == 0) != (r.resultado == 1))
    falha(passo, "olpa-rodar saiu com " + std::to_string(status));
}

namespace {

// Files under `esperado/` against the ones of the same name left, `.pontos`
// against their pictures.
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

// A CSV report read back as a Brazilian spreadsheet would (planilha.py); what
// it holds, or the reason it could not be read.
std::string como_planilha(const std::string &csv) {
  const std::string python = existe("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  const char *argv[] = {python.c_str(), OLPA_FONTE_DIR "/tests/casos/planilha.py", csv.c_str(),
                        nullptr};
  gchar *saida = nullptr, *erros = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                    nullptr, &saida, &erros, &status, nullptr))
    return "python3 não rodou\n";
  const std::string texto = glib(saida), problema = glib(erros);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? texto : texto + "ERRO: " + problema;
}

// One line of `comando`: an olpa-rodar run, or "copia DE PARA" (a learner
// handing in again); what it printed, as `saida` has it.
std::string roda_linha(const std::string &nome, const std::string &linha) {
  gchar **args = nullptr;
  if (linha.empty() || linha[0] == '#' ||
      !g_shell_parse_argv(linha.c_str(), nullptr, &args, nullptr))
    return "";
  std::vector<std::string> argv = {OLPA_BIN_DIR "/olpa-rodar"};
  for (gchar **a = args; *a; a++)
    argv.push_back(glib(g_strcompress(*a)));
  g_strfreev(args);
  if (argv.size() == 4 && argv[1] == "copia") {
    escreve_arquivo(argv[3], le_arquivo(argv[2]));
    return "$ " + linha + "\n";
  }
  std::vector<char *> c;
  for (std::string &a : argv)
    c.push_back(a.data());
  c.push_back(nullptr);
  gchar *saida = nullptr, *erros = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, c.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &saida, &erros,
                    &status, nullptr)) {
    falha(nome, "olpa-rodar não rodou");
    return "";
  }
  std::string relato = "$ " + linha + "\n" + glib(saida);
  // Its own messages; not the trace lines (compiler warnings, "[arq-s] ...").
  std::istringstream e(glib(erros));
  for (std::string l; std::getline(e, l);)
    if (l.rfind("olpa-rodar:", 0) == 0 || l.rfind("uso:", 0) == 0)
      relato += "#: " + l + "\n";
  return relato + "#= saída " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\n";
}

// "ocupados N" in `opcoes`: N processes that compute without end, on the one
// processor the case is bound to while its lines run (olpa-rodar, its runs and
// these share it), so a program there takes several times its processor time
// on the clock, whatever else the machine is doing.
struct Ocupados {
  cpu_set_t antes{};
  std::vector<pid_t> pids;
  explicit Ocupados(int quantos) {
    cpu_set_t um;
    CPU_ZERO(&um);
    sched_getaffinity(0, sizeof antes, &antes);
    for (int c = 0; c < CPU_SETSIZE && quantos > 0; c++)
      if (CPU_ISSET(c, &antes)) {
        CPU_SET(c, &um);
        break;
      }
    if (quantos > 0 && sched_setaffinity(0, sizeof um, &um) != 0)
      falha("ocupados", "não foi possível ficar num processador só");
    for (int i = 0; i < quantos; i++) {
      const pid_t pid = fork();
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        for (volatile unsigned long x = 0;; x = x + 1) {
        }
      }
      pids.push_back(pid);
    }
  }
  ~Ocupados() {
    for (pid_t pid : pids)
      if (pid > 0)
        kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    if (!pids.empty())
      sched_setaffinity(0, sizeof antes, &antes);
  }
};

int ocupados_em(const std::string &opcoes) {
  std::istringstream linhas(opcoes);
  for (std::string linha; std::getline(linhas, linha);)
    if (linha.rfind("ocupados ", 0) == 0)
      return atoi(linha.c_str() + 9);
  return 0;
}

} // namespace

// A case with a `comando` file (README.md): its files copied to bin/, each
// line of `comando` one olpa-rodar run there, what they print against
// `saida`, the CSVs named by "planilha" read as a spreadsheet would, files
// under `esperado/` against the ones left, and the page named by
// "navegador" in a browser.
void roda_comando(const std::string &caso, const std::string &nome) {
  for (const std::string &n : nomes_em(caso))
    if (n != "comando" && n != "saida" && n != "esperado" && n != "opcoes" &&
        system(("cp -r '" + caso + "/" + n + "' .").c_str()) != 0)
      falha(nome, "não copiou " + n);
  // A class's trees go to a temporary folder of the case's own, which must
  // be empty again at the end, however deep a learner's folders went.
  const std::string temporaria = raiz + "/tmp";
  g_mkdir_with_parents(temporaria.c_str(), 0755);
  const char *antes = getenv("TMPDIR");
  const std::string tmpdir_antes = antes ? antes : "";
  setenv("TMPDIR", temporaria.c_str(), 1);
  std::istringstream linhas(le_arquivo(caso + "/comando"));
  std::string relato;
  {
    Ocupados ocupados(ocupados_em(le_arquivo(caso + "/opcoes")));
    for (std::string linha; std::getline(linhas, linha);)
      relato += roda_linha(nome, linha);
  }
  if (antes)
    setenv("TMPDIR", tmpdir_antes.c_str(), 1);
  else
    unsetenv("TMPDIR");
  for (const std::string &n : nomes_em(temporaria))
    falha(nome, "ficou na pasta temporária: " + n);
  confere_texto(nome, caso + "/saida", relato);
  std::istringstream opcoes(le_arquivo(caso + "/opcoes"));
  std::string pagina;
  std::vector<std::string> textos, buscas;
  for (std::string linha; std::getline(opcoes, linha);)
    if (linha.rfind("navegador ", 0) == 0)
      pagina = linha.substr(10);
    else if (linha.rfind("mostra ", 0) == 0)
      textos.push_back(linha.substr(7));
    else if (linha.rfind("busca ", 0) == 0)
      buscas.push_back(linha.substr(6));
    else if (linha.rfind("planilha ", 0) == 0)
      escreve_arquivo(linha.substr(9) + ".planilha", como_planilha(linha.substr(9)));
  confere_esperados(nome, caso + "/esperado", "");
  confere_processos(nome);
  if (!pagina.empty())
    for (const std::string &f : confere_navegador(pagina, textos, buscas))
      falha(nome, f);
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
