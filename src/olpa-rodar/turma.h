// SPDX-License-Identifier: GPL-3.0-or-later
// A whole class graded in one command: every learner's file run on its own
// and its picture compared with the model's. The verdicts and the values the
// reports are made from.
#pragma once

#include <string>
#include <vector>

enum class Situacao { Igual, Diferente, Erro, Interrompido, SemFigura };
// In the order reports list them.
constexpr Situacao SITUACOES[] = {Situacao::Igual, Situacao::Diferente, Situacao::Erro,
                                  Situacao::Interrompido, Situacao::SemFigura};
// "igual", "diferente", "erro", "interrompido", "sem_figura"
const char *situacao_nome(Situacao s);

// One learner's file, graded.
struct Correcao {
  std::string arquivo; // as given on the command line
  Situacao situacao = Situacao::Erro;
  long pontos = -1;     // differing pixels; -1 when no picture was compared
  std::string mensagem; // the line that explains the verdict (valid UTF-8)
  std::string console;  // the console text of its run (valid UTF-8)
  // The learner's picture and the picture of the differences, relative to
  // the report folder; empty when there is none.
  std::string figura, diferenca;
};

struct Turma {
  std::string modelo;         // as given on the command line
  std::string modelo_figura;  // relative to the report folder
  std::string modelo_console; // empty for a picture given as the model
  double tolerancia = 0;      // percent of differing pixels still "igual"
  std::vector<Correcao> correcoes;
};

// Share of the canvas, in percent, that `pontos` pixels are.
double turma_porcentagem(long pontos);
// How many files have each verdict.
int turma_conta(const Turma &turma, Situacao s);

struct OpcoesTurma {
  std::string modelo;
  std::string relatorio = "relatorio";
  double tolerancia = 0;
  int tarefas = 1;          // runs at once
  double tempo_limite = 10; // seconds, per run
  bool sem_espera = false;  // espera returns at once
  std::vector<std::string> arquivos;
};
// olpa-rodar --compara: runs, compares, writes the report, prints the
// summary. The exit status: 0 when every file is "igual", 1 when not, 2 when
// the model or the report folder cannot be used.
int turma_compara(const OpcoesTurma &opcoes);

// The report's files, as their bytes.
std::string relatorio_csv(const Turma &turma);
std::string relatorio_html(const Turma &turma);
