// olpa-rodar: runs code files exactly as "Rodar" would with that text in the
// editor (read as "Abrir" reads them) and prints the console text the window
// would show, for teachers and tests. Here: its command line, and what its ways of running share
// (reading a code file, one press of "Rodar"). The files run one after the other (sequencia.cpp),
// or with --compara a whole class is graded (turma.cpp).
#include "olpa_rodar.h"

#include "aluno.h"
#include "textos.h"
#include "turma.h"

#include "analise.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

namespace {

int fd_trace = STDERR_FILENO;
bool com_trace = false;   // trace lines to standard error (--trace); otherwise nowhere
bool com_analise = false; // the analyser's warnings in the console (not --sem-analise)

// How long a run's end waits for the analysis of its text: here, until it
// is done (or stopped at its own time limit), so that the same file always
// shows the same warnings.
constexpr int ESPERA_PELA_ANALISE_MS = 60 * 1000;

void uso() {
  fprintf(stderr,
          "uso: olpa-rodar [--tempo-limite SEGUNDOS] [--sem-espera] [--figuras PASTA]\n"
          "                [--quadros PASTA] [--sem-analise] [--trace] ARQUIVO...\n"
          "     olpa-rodar --compara MODELO [--relatorio PASTA] [--tolerancia PORCENTO] [-j N]\n"
          "                [--tempo-limite SEGUNDOS] [--sem-espera] ARQUIVO...\n"
          "Roda cada arquivo de código (\"-\" para a entrada padrão) como o botão \"Rodar\" e "
          "mostra o texto do console; com --figuras, guarda a figura de cada um com o nome "
          "dele.\n"
          "Antes da linha final, os avisos do analisador (\"[aviso] linha N: ...\"); "
          "--sem-analise não analisa. Com --trace, as linhas de rastro vão para a saída de "
          "erros.\n"
          "Com --sem-espera, espera() não pausa. Com --quadros, a tela vai para "
          "../telas/PASTA/ a cada espera(), como NNNNN-MS.png (o número do quadro e quantos "
          "milissegundos ele fica na tela).\n"
          "Com --compara, roda cada arquivo à parte e compara a figura com a do MODELO (um "
          "arquivo .olp ou uma figura .png de 640 × 480); o relatório fica em PASTA "
          "(relatorio/ se não for dada).\n");
}

} // namespace

bool rodar_le_arquivo(const char *nome, std::string *texto, std::string *erro) {
  if (strcmp(nome, "-") != 0)
    return parser_le_codigo(nome, texto, erro);
  std::string bytes;
  char bloco[65536];
  size_t n;
  while (bytes.size() <= PARSER_LIMITE_CODIGO && (n = fread(bloco, 1, sizeof bloco, stdin)) > 0)
    bytes.append(bloco, n);
  if (ferror(stdin)) {
    *erro = "erro de leitura";
    return false;
  }
  return parser_decodifica_codigo(bytes, texto, erro);
}

void rodar_prepara(int fd) {
  static const int nulo = open("/dev/null", O_WRONLY | O_CLOEXEC);
  fd_trace = com_trace || fd != STDERR_FILENO ? fd : nulo;
  fd = fd_trace;
  parser_define_trace(fd);
  olpa_gfx_define_trace([](const char *texto, size_t n) {
    if (write(fd_trace, texto, n) < 0) {
      // A trace line lost is nothing to stop a run for.
    }
  });
}

bool rodar_executa(const std::string &codigo, ParserResultado *r) {
  // The analysis goes on beside the run, and its warnings come before the
  // final line.
  if (com_analise)
    analise_pede(codigo, nullptr, nullptr);
  const bool certo = parser_executa(codigo.c_str(), r) == 1;
  if (com_analise)
    analise_no_resultado(codigo, ESPERA_PELA_ANALISE_MS, r);
  if (certo) {
    const long tamanho = parser_tamanho_em_telas(r->caminho.c_str());
    dprintf(fd_trace, "[tamanho] %s, %ld\n", r->caminho.c_str(), tamanho < 0 ? 0 : tamanho);
  }
  return certo;
}

namespace {

struct Opcoes {
  std::vector<std::string> arquivos;
  double tempo_limite = 0; // 0: the runner's own
  std::string figuras;
  std::string quadros; // a folder of ../telas for the frames of animations
  bool sem_espera = false;
  bool sem_analise = false;
  bool compara = false, so_compara = false;
  OpcoesTurma turma;
};

// A number from `texto` ("0.5" or "0,5") within [minimo, maximo].
bool le_numero(const char *texto, double minimo, double maximo, double *valor) {
  if (!texto || !*texto)
    return false;
  std::string ponto = texto;
  for (char &c : ponto)
    if (c == ',')
      c = '.';
  char *fim = nullptr;
  *valor = g_ascii_strtod(ponto.c_str(), &fim);
  return fim && *fim == '\0' && *valor >= minimo && *valor <= maximo;
}

// 0 when the command line makes sense; otherwise the exit status, said.
int le_opcoes(int argc, char **argv, Opcoes *o) {
  bool so_arquivos = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    const char *valor = i + 1 < argc ? argv[i + 1] : nullptr;
    const char *erro = nullptr;
    if (so_arquivos || a == "-" || a[0] != '-') {
      o->arquivos.push_back(a);
      continue;
    }
    if (a == "--") {
      so_arquivos = true;
      continue;
    }
    if (a == "--ajuda" || a == "--help") {
      uso();
      return -1;
    }
    if (a == "--sem-analise" || a == "--trace") {
      (a == "--trace" ? com_trace : o->sem_analise) = true;
      continue;
    }
    if (a == "--sem-espera") {
      o->sem_espera = o->turma.sem_espera = true;
      continue;
    }
    double n = 0;
    if (a == "--tempo-limite") {
      if (!le_numero(valor, 1e-3, 86400, &o->tempo_limite))
        erro = "--tempo-limite pede um número de segundos maior que zero.";
    } else if (a == "--quadros") {
      const std::string pasta = valor ? valor : "";
      if (pasta.empty() || pasta.find('/') != std::string::npos || pasta == "." || pasta == "..")
        erro = "--quadros pede o nome de uma pasta dentro de ../telas.";
      o->quadros = pasta;
    } else if (a == "--figuras" || a == "--relatorio" || a == "--compara") {
      if (!valor || !*valor)
        erro = a == "--compara" ? "--compara pede o modelo (um arquivo .olp ou uma figura .png "
                                  "de 640 × 480)."
                                : "esta opção pede o nome de uma pasta.";
      else if (a == "--figuras")
        o->figuras = valor;
      else if (a == "--relatorio")
        o->turma.relatorio = valor, o->so_compara = true;
      else
        o->turma.modelo = valor, o->compara = true;
    } else if (a == "--tolerancia") {
      if (!le_numero(valor, 0, 100, &o->turma.tolerancia))
        erro = "--tolerancia pede uma porcentagem de 0 a 100.";
      o->so_compara = true;
    } else if (a == "-j" || a == "--tarefas") {
      if (!le_numero(valor, 1, 64, &n) || n != static_cast<int>(n))
        erro = "-j pede quantas execuções ao mesmo tempo, de 1 a 64.";
      o->turma.tarefas = static_cast<int>(n), o->so_compara = true;
    } else {
      fprintf(stderr, "olpa-rodar: opção desconhecida: %s\n", texto_de_uma_linha(a).c_str());
      uso();
      return 2;
    }
    if (erro) {
      fprintf(stderr, "olpa-rodar: %s\n", erro);
      return 2;
    }
    i++;
  }
  const char *erro = nullptr;
  if (o->so_compara && !o->compara)
    erro = "--relatorio, --tolerancia e -j só valem com --compara.";
  else if (o->compara && !o->figuras.empty())
    erro = "--figuras não vale com --compara: as figuras ficam no relatório.";
  else if (o->compara && !o->quadros.empty())
    erro = "--quadros não vale com --compara.";
  else if (o->compara)
    for (const std::string &a : o->arquivos)
      if (a == "-")
        erro = "--compara não lê programas da entrada padrão (\"-\").";
  if (erro) {
    fprintf(stderr, "olpa-rodar: %s\n", erro);
    return 2;
  }
  if (o->arquivos.empty()) {
    uso();
    return 2;
  }
  return 0;
}

// The folder of ../telas the frames go to, made when missing.
bool prepara_quadros(const std::string &pasta) {
  const std::string caminho = "../telas/" + pasta;
  if (g_mkdir_with_parents(caminho.c_str(), 0755) != 0) {
    fprintf(stderr, "olpa-rodar: não foi possível criar \"%s\": %s\n",
            texto_de_uma_linha(caminho).c_str(), g_strerror(errno));
    return false;
  }
  parser_define_quadros(pasta.c_str());
  return true;
}

} // namespace

int main(int argc, char **argv) {
  if (argc > 1 && strcmp(argv[1], ALUNO_OPCAO) == 0)
    return aluno_principal(argc - 2, argv + 2);
  Opcoes o;
  o.turma.tarefas = static_cast<int>(g_get_num_processors());
  const int uso_errado = le_opcoes(argc, argv, &o);
  if (uso_errado != 0)
    return uso_errado < 0 ? 0 : uso_errado;
  if (o.tempo_limite > 0)
    parser_define_tempo_limite(o.tempo_limite);
  parser_define_sem_espera(o.sem_espera);
  if (!o.quadros.empty() && !prepara_quadros(o.quadros))
    return 2;
  if (!o.compara) {
    // The compiler's warnings are the analyser's to tell, better, when it is there.
    com_analise = !o.sem_analise;
    if (o.sem_analise)
      analise_desliga("pedido por --sem-analise");
    parser_define_avisos_do_compilador(!analise_ligada(nullptr));
    const int r = rodar_em_sequencia(o.arquivos, o.figuras);
    // Everything is said and every child is gone. The libraries' destructors
    // have nothing left to do but write pages the fork left shared, a
    // copy-on-write fault each: the process just ends.
    analise_encerra();
    fflush(nullptr);
    _exit(r);
  }
  o.turma.arquivos = o.arquivos;
  if (o.tempo_limite > 0)
    o.turma.tempo_limite = o.tempo_limite;
  return turma_compara(o.turma);
}
