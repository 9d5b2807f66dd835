// SPDX-License-Identifier: GPL-3.0-or-later
// One learner's file graded in a process of its own (started by the class's
// driver in a fresh run tree): the file run once from the defaults, its
// picture compared with the model, the pictures written for the report, and
// what was found handed back as a record on standard output.
#pragma once

#include "compara.h"

#include <string>
#include <vector>

// What grading one file found, before the class's tolerance is applied.
enum class Achado { Figura, SemFigura, Erro, Interrompido };

struct RegistroAluno {
  Achado achado = Achado::Interrompido;
  bool comparada = false; // a picture was compared with the model's
  Comparacao comparacao;
  bool parcial = false;    // for SemFigura and Interrompido: the canvas drawn so far was written
  std::vector<int> linhas; // lines of its code marked as errors
  std::string mensagem;    // the line that explains it (empty for a picture)
  std::string console;     // the run's console text
};

// The record as written on standard output, and read back; false when the
// text is not a whole, sane record.
std::string aluno_registro(const RegistroAluno &r);
bool aluno_le_registro(const std::string &texto, RegistroAluno *r);

// The hidden option that starts this mode, and its fixed arguments.
constexpr char ALUNO_OPCAO[] = "--corrige-aluno";
struct OpcoesAluno {
  std::string tempo_limite; // seconds, as text
  std::string modelo;       // the model's picture; empty: nothing to compare
  std::string figura;       // where the learner's picture goes
  std::string diferenca;    // where the picture of the differences goes
  std::string arquivo;      // the code file
  std::string sem_espera;   // "1": espera returns at once
  std::string deslocamento; // pixels, as text
  std::string marcas;       // the kinds' colours: three ARGB words in hex, by commas
};
// The arguments that follow ALUNO_OPCAO.
std::vector<std::string> aluno_argumentos(const OpcoesAluno &o);
std::string aluno_marcas_em_texto(const CoresDasMarcas &cores);
// olpa-rodar --corrige-aluno ...: grades one file and writes the record;
// 0 when the record was written.
int aluno_principal(int argc, char **argv);
