// SPDX-License-Identifier: GPL-3.0-or-later
// The case runner (README.md): runs a case's programs, one press of
// "Rodar" each, in one process and a fresh run tree, and compares what the
// window would show with the case's expected files (esperados.cpp); cases
// of olpa-rodar itself in olpa_rodar.cpp.
//
// roda_caso CASO [PROGRAMA]   CASO: casos/NOME (NOME.olp, or NOME/NN.olp);
//                             PROGRAMA: another program for a single step
// roda_caso --fuzz SEMENTE QUANTIDADE CASO   mutated examples first (fuzz_rodar.cpp)
// OLPA_REGRAVA=1 rewrites the expected files from what the runs gave.
#include "caso.h"
#include "olpa_passos.h"
#include "olpa_registro.h"
#include "olpagfx.h"
#include "analise.h"
#include "olpaparser.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>
#include <sstream>

#include <dirent.h>
#include <glib.h>
#include <sys/stat.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

int fuzz(uint64_t semente, long quantidade); // fuzz_rodar.cpp

const bool regrava = getenv("OLPA_REGRAVA") != nullptr;
std::string raiz;  // the run tree
std::string vista; // the picture the view showed after the last run, as a PNG ("" for none)
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

namespace {

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
    else if (chave == "registro") // calls kept, bytes of texts
      parser_define_registro(static_cast<uint32_t>(std::stoul(valor)),
                             static_cast<uint32_t>(std::stoul(resto)));
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
    else if (!chave.empty() && chave != "isolado" && chave != "landlock-antigo" &&
             chave != "sem-namespace" && chave != "sem-olpa-rodar" && chave != "sem-reprise" &&
             chave != "navegador" && chave != "mostra" && chave != "busca" && chave != "planilha" &&
             chave != "ocupados" && chave != "sem-analisador" && chave[0] != '#')
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

// The picture the view shows after a run, kept as a PNG for `[vista]` of
// NOME.pontos.
std::string guarda_vista(const Rodada &r, const std::string &saida) {
  if (r.vista.empty())
    return "";
  OlpaSurface s(cairo_image_surface_create_for_data(const_cast<unsigned char *>(r.vista.data()),
                                                    CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA,
                                                    OLPA_TELA_ALTURA, OLPA_TELA_STRIDE));
  const std::string caminho = saida + ".vista.png";
  return cairo_surface_write_to_png(s.get(), caminho.c_str()) == CAIRO_STATUS_SUCCESS ? caminho
                                                                                      : "";
}

// NOME.quem: "X Y" a line, and the step whose call last changed that pixel.
std::string quem_pintou(const std::string &arquivo, const Rodada &r) {
  if (!r.registro)
    return "sem registro\n";
  OlpaPassosPtr passos = olpa_passos_cria(r.registro.get());
  while (!olpa_passos_percorre(passos.get(), 100)) {
  }
  std::istringstream linhas(le_arquivo(arquivo));
  std::string saida;
  for (int x, y; linhas >> x >> y;) {
    std::string resto;
    std::getline(linhas, resto);
    saida += std::to_string(x) + " " + std::to_string(y) + " " +
             std::to_string(olpa_passos_quem_pintou(passos.get(), x, y)) + "\n";
  }
  return saida;
}

// One press of "Rodar" and everything checked after it.
Rodada passo(const std::string &nome, const std::string &esperado, const std::string &programa,
             int rastro, const std::string &saida) {
  std::map<std::string, std::string> antes, depois;
  fotografa("", &antes);
  if (ftruncate(rastro, 0) != 0)
    falha(nome, "o rastro não pôde ser esvaziado");
  // The program as "Abrir" would put it in the editor (and olpa-rodar reads it).
  std::string codigo, motivo;
  if (!parser_le_codigo(programa.c_str(), &codigo, &motivo))
    falha(nome, programa + ": " + motivo);
  const Rodada r = roda(codigo);
  parser_encerra();
  confere_texto(nome, esperado + ".console", relato(r));
  if (existe(esperado + ".passos"))
    confere_texto(nome, esperado + ".passos", lista_de_passos(r));
  if (existe(esperado + ".quem"))
    confere_texto(nome, esperado + ".quem", quem_pintou(esperado + ".quem", r));
  vista = guarda_vista(r, saida);
  if (existe(esperado + ".trace")) {
    std::string linhas(static_cast<size_t>(lseek(rastro, 0, SEEK_END)), '\0');
    confere_texto(
        nome, esperado + ".trace",
        linhas.substr(0, std::max<ssize_t>(0, pread(rastro, linhas.data(), linhas.size(), 0))));
  }
  confere_imagem(nome, r, esperado, saida);
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
  const std::string console = sem_avisos(r.console);
  const bool so_isso = g_str_has_prefix(console.c_str(), "[olpa] compilando\n[olpa] ") &&
                       g_str_has_suffix(console.c_str(), "termina(), então a figura não foi "
                                                         "gravada (a tela mostra o desenho até "
                                                         "aqui).\n[olpa] sucesso!\n");
  if (r.resultado != 1 || !so_isso || !desenhou)
    falha(nome, "o programa seguinte não rodou ou não desenhou: " + r.console);
  olpa_gfx_fecha_tela();
  confere_processos(nome + " (seguinte)");
}

} // namespace

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
      if (stat >> eu >> comando >> estado >> pai && pai == getpid() &&
          std::stoi(pid) != parser_zigoto() && std::stoi(pid) != analise_pid())
        sobras += " " + pid + " " + comando, kill(std::stoi(pid), tentativa == 49 ? SIGKILL : 0);
    }
    if (sobras.empty())
      return;
  }
  falha(passo, "processos deixados para trás:" + sobras);
}

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
  // An older or stricter kernel, emulated by a preloaded library.
  const bool landlock_antigo = le_arquivo(opcoes).find("landlock-antigo") != std::string::npos;
  const bool sem_namespace = le_arquivo(opcoes).find("sem-namespace") != std::string::npos;
  if ((landlock_antigo || sem_namespace) && !getenv("LD_PRELOAD")) {
    if (landlock_antigo)
      setenv("OLPA_SHIM_LANDLOCK_5", "1", 1);
    if (sem_namespace)
      setenv("OLPA_SHIM_SEM_NAMESPACE", "1", 1);
    setenv("LD_PRELOAD", OLPA_SHIM_NUCLEO, 1);
    execv("/proc/self/exe", argv);
    return perror("roda_caso"), 1;
  }
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
  // Children made as the window makes them (olpa-rodar, which every case
  // also runs, forks its own).
  prepara_analise();
  if (!analise_ligada(nullptr))
    setenv("OLPA_SEM_ANALISE", "1", 1);
  // An installation without the analyser, in a build that has it: its
  // console compared whole.
  if (le_arquivo(opcoes).find("sem-analisador") != std::string::npos) {
    setenv("OLPA_ANALISA", "/olpa-sem-analisador", 1);
    parser_define_avisos_do_compilador(!analise_ligada(nullptr));
  }
  parser_prepara_zigoto();
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
  parser_define_registro(OlpaRegistroMedidas{}.chamadas, OlpaRegistroMedidas{}.textos);
  setenv("OLPA_LIMITE", "10", 1);
  const bool arvore_mudada = aplica_opcoes(opcoes);
  if (pasta && existe(caso + "/comando"))
    roda_comando(caso, nome);
  else if (!pasta) {
    const Rodada r = passo(nome, caso, programa, rastro, std::string(OLPA_SAIDA_DIR "/") + nome);
    if (!isolado && !arvore_mudada && !regrava &&
        le_arquivo(opcoes).find("sem-olpa-rodar") == std::string::npos)
      confere_olpa_rodar(nome, programa, r, existe(caso + ".passos"));
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
  analise_encerra();
  printf("%s: %s\n", nome.c_str(), falhas ? "FALHOU" : regrava ? "regravado" : "ok");
  if (!copia.empty() && system(("rm -rf '" + copia + "'").c_str()) != 0)
    fprintf(stderr, "roda_caso: %s ficou\n", copia.c_str());
  return falhas ? 1 : 0;
}
