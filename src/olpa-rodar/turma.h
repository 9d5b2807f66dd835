// SPDX-License-Identifier: GPL-3.0-or-later
// A whole class graded in one command: every learner's file run on its own
// and its picture compared with the model's. The verdicts and the values the
// reports are made from.
#pragma once

#include "compara.h"

#include <string>
#include <vector>

enum class Situacao { Igual, Diferente, Erro, Interrompido, SemFigura, NadaDesenhado };
// In the order reports list them.
constexpr Situacao SITUACOES[] = {Situacao::Igual,     Situacao::Diferente,
                                  Situacao::Erro,      Situacao::Interrompido,
                                  Situacao::SemFigura, Situacao::NadaDesenhado};

// situacao.cpp: a verdict's names and what it is worth.
// For scripts: "igual", "diferente", "erro", "interrompido", "sem_figura",
// "nada_desenhado".
const char *situacao_nome(Situacao s);
// For people, in the singular or the plural: "sem figura", "3 iguais".
std::string situacao_rotulo(Situacao s, long quantos = 1);
// The kind of a difference in words: "faltando", "sobrando", "cor".
const char *situacao_marca(Marca m);

// One learner's file, graded.
struct Correcao {
  int posicao = 0;     // its number in the whole class, from 1 (its place, in a part of it)
  std::string arquivo; // as given on the command line
  std::string caminho; // absolute: the same file when a later grading gives it again
  std::string codigo;  // its text as read (valid UTF-8); empty when unreadable
  Situacao situacao = Situacao::Erro;
  bool comparada = false; // `comparacao` holds the picture compared with the model's
  Comparacao comparacao;
  std::string mensagem;    // the line that explains the verdict (valid UTF-8)
  std::string console;     // the console text of its run (valid UTF-8)
  std::vector<int> linhas; // the lines of its code an error was found on
  // The learner's picture (for interrompido and sem_figura, the canvas as far
  // as the program got, when it drew anything) and the picture of the
  // differences, relative to the report folder; empty when there is none.
  std::string figura, diferenca;
  bool parcial = false; // `figura` is the canvas of a run that wrote none
  // For a picture that differs, the calls its run made, a step a line as
  // olpa-rodar --passos prints them (the first ones, when there are many),
  // its last line their count; empty otherwise.
  std::string passos;
  int mesmo_codigo = 0; // a group of files with the same code (0: none)
};

struct Turma {
  std::string modelo;         // as given on the command line
  std::string modelo_codigo;  // empty for a picture given as the model
  std::string modelo_figura;  // relative to the report folder
  std::string modelo_console; // empty for a picture given as the model
  std::string modelo_soma;    // checksum of the model's pixels: the same model, the same sums
  double tolerancia = 0;      // percent of the drawing that may differ and still be "igual"
  int deslocamento = COMPARA_DESLOCAMENTO_PADRAO;
  CoresDasMarcas marcas{};
  size_t total = 0; // files in the whole class (a part holds only some)
  std::vector<Correcao> correcoes;
  std::vector<std::vector<size_t>> copias; // each group of the same code (copias_agrupa)
};

// Where the report keeps the model's picture.
constexpr char TURMA_FIGURA_DO_MODELO[] = "figuras/modelo.png";

// How many files have each verdict.
int turma_conta(const Turma &turma, Situacao s);
// The verdict of a picture compared with the model's, under `tolerancia`;
// situacao_julga gives it (and its message) to a file whose picture was compared.
Situacao situacao_da_figura(const Comparacao &c, double tolerancia);
void situacao_julga(double tolerancia, Correcao *c);
// What a compared picture's verdict needs said: its differences by kind
// ("faltando 29,12% do desenho, cor 0,07%"), or that nothing was drawn.
std::string situacao_mensagem(Situacao s, const Comparacao &c);
// The differences by kind, `depois_da_primeira` after the first ("cor 2,50%").
std::string situacao_marcas(const Comparacao &c, const char *depois_da_primeira = "");
// The grade, 0 to 10 with one decimal: 10 for "igual", 9 times the share of
// the drawing that is right for "diferente", 0 otherwise.
double situacao_nota(const Correcao &c);

// copias.cpp: files whose code is the same but for spaces, tabs and line
// ends are numbered in groups (Correcao::mesmo_codigo), in order of their
// first file; the other files of a file's group, and whether the model's
// code is the same.
void copias_agrupa(Turma *turma);
std::vector<size_t> copias_do_grupo(const Turma &turma, size_t i);
bool copias_igual_ao_modelo(const Turma &turma, size_t i);

struct OpcoesTurma {
  std::string modelo;
  std::string relatorio = "relatorio";
  double tolerancia = 0;
  int deslocamento = COMPARA_DESLOCAMENTO_PADRAO;
  int tarefas = 1;          // runs at once
  double tempo_limite = 10; // seconds, per run
  bool sem_espera = false;  // espera returns at once
  bool csv_internacional = false;
  int parte = 0, partes = 0; // --parte K/N: grades the files whose place is K, counting to N
  bool junta = false;        // `arquivos` are the folders of partial reports to merge
  std::vector<std::string> arquivos;
};
// olpa-rodar --compara: runs, compares, writes the report (adding to one
// already in the folder), prints the summary. The exit status: 0 when every
// file is "igual", 1 when not, 2 when the model or the report folder cannot
// be used.
int turma_compara(const OpcoesTurma &opcoes);
// Writes the report's files into `pasta` and prints the summary: the exit
// status (0 when every file is "igual", 1 when not, 2 when it could not be written).
int turma_grava(const Turma &turma, const OpcoesTurma &opcoes);
// olpa-rodar --junta PASTA...: partial reports of one class (--parte) as one,
// the same as the whole class graded at once. The exit status, as turma_compara's.
int junta_relatorios(const OpcoesTurma &opcoes);

// The report's files, as their bytes. The CSV for a Brazilian spreadsheet
// (";", decimal comma, UTF-8 with a byte-order mark), or with `internacional`
// for scripts ("," and decimal point, the columns of old first).
std::string relatorio_csv(const Turma &turma, bool internacional);
std::string relatorio_html(const Turma &turma);

// resumo.cpp: the summary printed at the end.
void resumo_mostra(const Turma &turma, const std::string &html);
// The separation of the verdicts: the largest differing share among the
// "igual" files and the smallest among the "diferente" ones (-1 when there
// are none).
void resumo_separacao(const Turma &turma, double *maior_igual, double *menor_diferente);
