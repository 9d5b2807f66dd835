// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar's command line: options first, then the files. A file's name is
// never taken for an option: after "--" or the first file, everything is a
// file, and a name such as "-j.olp" (the first of `*.olp`, in a folder that
// has it) is a file, not an unknown option.
#include "opcoes.h"

#include "textos.h"

#include <cstdio>
#include <set>

#include <glib.h>

namespace {

// The help, also the source of the manual page: "Título:" lines start its
// sections, and "  --opção" lines its options.
const char SINOPSE[] =
    "uso: olpa-rodar [--tempo-limite SEGUNDOS] [--sem-espera] [--figuras PASTA]\n"
    "                [--quadros PASTA] [--sem-analise] [--trace] [--passos]\n"
    "                [--] ARQUIVO...\n"
    "     olpa-rodar --compara MODELO [--relatorio PASTA] [--tolerancia PORCENTO]\n"
    "                [--deslocamento PONTOS] [--csv-internacional] [-j N]\n"
    "                [--parte K/N] [--tempo-limite SEGUNDOS] [--sem-espera] [--] ARQUIVO...\n"
    "     olpa-rodar --junta [--relatorio PASTA] [--tolerancia PORCENTO]\n"
    "                [--csv-internacional] [--] PASTA...\n";
const char AJUDA[] =
    "Roda cada arquivo de código do olpa (\"-\" para a entrada padrão) como o botão "
    "\"Rodar\" da janela, sem abri-la, e mostra o texto do console. Roda na pasta bin/ da "
    "pasta do olpa: as figuras vão para ../telas/. Com vários arquivos, o texto de cada um "
    "vem depois de uma linha com o nome dele. Antes da última linha de cada um vêm os avisos "
    "do analisador do olpa (\"[aviso] linha N: ...\"), os mesmos que o editor sublinha. As "
    "opções vêm antes dos arquivos.\n"
    "\n"
    "Com --compara, corrige uma turma: roda cada arquivo à parte e compara a figura com a do "
    "MODELO (um arquivo .olp ou uma figura .png de 640 × 480) como um professor olharia; o "
    "relatório (relatorio.html e relatorio.csv) fica na pasta do --relatorio. Com --parte, "
    "corrige só uma parte da lista; --junta junta os relatórios das partes em um.\n"
    "\n"
    "Opções:\n"
    "  --tempo-limite SEGUNDOS  o tempo de processamento de cada programa (10 s se não for "
    "dado)\n"
    "  --sem-espera             espera() não pausa\n"
    "  --sem-analise            não analisa os programas (mostra os avisos do compilador, como "
    "sem o analisador)\n"
    "  --trace                  as linhas de rastro ([tamanho], [arq-s]...) na saída de erros\n"
    "  --figuras PASTA          guarda a figura de cada arquivo em PASTA, com o nome dele\n"
    "  --quadros PASTA          grava a tela a cada espera() em ../telas/PASTA/, como "
    "NNNNN-MS.png (o número do quadro e quantos milissegundos ele fica na tela)\n"
    "  --passos                 depois do console, cada chamada de função do olpa que o "
    "programa fez, uma por linha: \"passo N · linha L: nome(argumentos)\", e no fim "
    "\"[olpa] N passos\"\n"
    "  --compara MODELO         corrige a turma dos ARQUIVOs contra o MODELO\n"
    "  --relatorio PASTA        onde gravar o relatório do --compara (relatorio/ se não for "
    "dada); um relatório que já está lá recebe só os arquivos dados\n"
    "  --tolerancia PORCENTO    quantos por cento do desenho podem ser diferentes e ainda "
    "contar como igual, de 0 a 100 (0 se não for dada)\n"
    "  --deslocamento PONTOS    quantos pontos um traço pode estar fora do lugar e ainda ser o "
    "mesmo traço, de 0 a 20 (2 se não for dado)\n"
    "  --csv-internacional      o relatorio.csv com vírgulas e pontos decimais, para "
    "programas, e não para a planilha\n"
    "  -j N, --tarefas N        quantos arquivos do --compara rodam ao mesmo tempo, de 1 a "
    "64 (um por processador se não for dado)\n"
    "  --parte K/N              corrige só a K-ésima de N partes da lista de arquivos\n"
    "  --junta                  junta em um os relatórios das partes (as PASTAs)\n"
    "  --ajuda, --help          mostra este texto e termina\n"
    "  --versao, --version      mostra a versão e termina\n"
    "  --                       o que vem depois é arquivo, mesmo que comece com -\n"
    "\n"
    "Saída:\n"
    "  0 quando todos os arquivos rodaram com sucesso (com --compara, quando todos são "
    "iguais ao modelo), 1 quando algum falhou, 2 quando o comando está errado ou um arquivo "
    "não pôde ser lido, 130 quando Ctrl+C parou a correção.\n"
    "\n"
    "Veja também:\n"
    "  olpa(1), a janela.\n";

// The whole help on standard output, as asked; the synopsis after a mistake.
void uso(FILE *destino) {
  fputs(SINOPSE, destino);
  fputs(destino == stdout ? AJUDA : "olpa-rodar --ajuda mostra todas as opções.\n", destino);
}

// Options that take a value, and those that do not.
const std::set<std::string> COM_VALOR = {
    "--tempo-limite", "--quadros", "--figuras", "--relatorio",    "--compara",
    "--tolerancia",   "-j",        "--tarefas", "--deslocamento", "--parte"};
const std::set<std::string> SEM_VALOR = {
    "--sem-espera", "--sem-analise", "--trace", "--csv-internacional",
    "--junta",      "--ajuda",       "--help",  "--versao",
    "--version",    "--passos",      "--"};
// Options of grading a class, and of those the ones --junta takes.
const std::set<std::string> DA_TURMA = {
    "--relatorio", "--tolerancia", "--deslocamento", "--csv-internacional",
    "-j",          "--tarefas",    "--parte"};
const std::set<std::string> DA_JUNTA = {"--relatorio", "--tolerancia", "--csv-internacional",
                                        "--junta"};

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

bool le_inteiro(const char *texto, int minimo, int maximo, int *valor) {
  double n = 0;
  if (!le_numero(texto, minimo, maximo, &n) || n != static_cast<int>(n))
    return false;
  *valor = static_cast<int>(n);
  return true;
}

// The error of option `a` with `valor`, or null; what it sets, set.
const char *le_opcao(const std::string &a, const char *valor, Opcoes *o) {
  if (a == "--tempo-limite")
    return le_numero(valor, 1e-3, 86400, &o->tempo_limite)
               ? nullptr
               : "--tempo-limite pede um número de segundos maior que zero.";
  if (a == "--quadros") {
    o->quadros = valor ? valor : "";
    const std::string &p = o->quadros;
    return p.empty() || p.find('/') != std::string::npos || p == "." || p == ".."
               ? "--quadros pede o nome de uma pasta dentro de ../telas."
               : nullptr;
  }
  if (a == "--parte") {
    int k = 0, n = 0;
    char resto = 0;
    if (!valor || sscanf(valor, "%d/%d%c", &k, &n, &resto) != 2 || k < 1 || n < k || n > 100000)
      return "--parte pede K/N: a K-ésima de N partes da lista de arquivos (1/4, 2/4, …).";
    o->turma.parte = k, o->turma.partes = n;
    return nullptr;
  }
  if (a == "--figuras" || a == "--relatorio" || a == "--compara") {
    if (!valor || !*valor)
      return a == "--compara" ? "--compara pede o modelo (um arquivo .olp ou uma figura .png "
                                "de 640 × 480)."
                              : "esta opção pede o nome de uma pasta.";
    if (a == "--figuras")
      o->figuras = valor;
    else if (a == "--relatorio")
      o->turma.relatorio = valor;
    else
      o->turma.modelo = valor, o->compara = true;
    return nullptr;
  }
  if (a == "--tolerancia")
    return le_numero(valor, 0, 100, &o->turma.tolerancia)
               ? nullptr
               : "--tolerancia pede uma porcentagem do desenho, de 0 a 100.";
  if (a == "--deslocamento")
    return le_inteiro(valor, 0, COMPARA_DESLOCAMENTO_MAXIMO, &o->turma.deslocamento)
               ? nullptr
               : "--deslocamento pede quantos pontos um traço pode estar fora do lugar, de 0 a "
                 "20.";
  return le_inteiro(valor, 1, 64, &o->turma.tarefas)
             ? nullptr
             : "-j pede quantas execuções ao mesmo tempo, de 1 a 64.";
}

const char *confere(const Opcoes &o) {
  const bool junta = o.turma.junta;
  for (const std::string &a : o.dadas)
    if (junta && !DA_JUNTA.count(a))
      return "--junta só vale com --relatorio, --tolerancia e --csv-internacional.";
    else if (!junta && !o.compara && DA_TURMA.count(a))
      return "--relatorio, --tolerancia, --deslocamento, --csv-internacional, --parte e -j só "
             "valem com --compara.";
  if (o.compara && !o.figuras.empty())
    return "--figuras não vale com --compara: as figuras ficam no relatório.";
  if (o.compara && !o.quadros.empty())
    return "--quadros não vale com --compara.";
  if ((o.compara || junta) && o.passos)
    return "--passos não vale com --compara nem com --junta.";
  for (const std::string &a : o.arquivos)
    if (o.compara && a == "-")
      return "--compara não lê programas da entrada padrão (\"-\").";
  return nullptr;
}

int erro_de_uso(const std::string &mensagem) {
  fprintf(stderr, "olpa-rodar: %s\n", mensagem.c_str());
  return 2;
}

} // namespace

int opcoes_le(int argc, char **argv, Opcoes *o) {
  int i = 1;
  bool dois_tracos = false;
  for (; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--") {
      dois_tracos = true;
      i++;
      break;
    }
    // Not an option: the first file (a name such as "-j.olp" too, when there is such a file).
    if (a == "-" || a[0] != '-' ||
        (!COM_VALOR.count(a) && !SEM_VALOR.count(a) &&
         (g_file_test(a.c_str(), G_FILE_TEST_EXISTS) || g_str_has_suffix(a.c_str(), ".olp"))))
      break;
    if (a == "--ajuda" || a == "--help") {
      uso(stdout);
      return -1;
    }
    if (a == "--versao" || a == "--version") {
      puts("olpa-rodar " OLPA_VERSAO);
      return -1;
    }
    o->dadas.insert(a);
    if (a == "--sem-analise" || a == "--trace") {
      (a == "--trace" ? o->trace : o->sem_analise) = true;
      continue;
    }
    if (a == "--sem-espera" || a == "--csv-internacional" || a == "--junta" || a == "--passos") {
      if (a == "--sem-espera")
        o->sem_espera = o->turma.sem_espera = true;
      else if (a == "--passos")
        o->passos = true;
      else if (a == "--junta")
        o->turma.junta = true;
      else
        o->turma.csv_internacional = true;
      continue;
    }
    if (!COM_VALOR.count(a)) {
      fprintf(stderr, "olpa-rodar: opção desconhecida: %s\n", texto_de_uma_linha(a).c_str());
      uso(stderr);
      return 2;
    }
    if (const char *erro = le_opcao(a, i + 1 < argc ? argv[i + 1] : nullptr, o))
      return erro_de_uso(erro);
    i++;
  }
  for (; i < argc; i++) {
    const std::string a = argv[i];
    // Most likely an option put after the files, rather than a file of that very name.
    if (!dois_tracos && (COM_VALOR.count(a) || SEM_VALOR.count(a)))
      return erro_de_uso("as opções vêm antes dos arquivos (" + texto_de_uma_linha(a) +
                         " veio depois); para um arquivo com esse nome, ponha -- antes dos "
                         "arquivos.");
    o->arquivos.push_back(a);
  }
  if (const char *erro = confere(*o))
    return erro_de_uso(erro);
  if (o->arquivos.empty()) {
    uso(stderr);
    return 2;
  }
  return 0;
}
