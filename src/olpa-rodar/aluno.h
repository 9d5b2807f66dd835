// SPDX-License-Identifier: GPL-3.0-or-later
// One learner's file graded in this process from its run's outcome: what the
// run left (a picture, none, an error, a stop), its picture compared with the
// model's pixels, and the report's pictures written once, from pixels.
#pragma once

#include "figuras.h"
#include "turma.h"

#include "olpaparser.h"

#include <string>

// What a run left, before anything is compared.
enum class Achado { Figura, SemFigura, Erro, Interrompido };
struct Deixado {
  Achado achado = Achado::Interrompido;
  std::string mensagem; // olpa's own line that explains it (empty for a picture)
  // Figura: its picture. SemFigura, Interrompido: the canvas as far as the
  // program got, when it drew anything; null otherwise. Points into the outcome.
  const unsigned char *pixels = nullptr;
};
Deixado aluno_deixado(const ParserResultado &resultado);

// What every learner is compared with, and what many of them share, made
// once: the model's picture as PNG (a learner's that is the same to the
// pixel), the model compared with itself, and the picture of no differences;
// the files of this grading that hold those two.
struct Modelo {
  Pixels pixels;
  OpcoesComparacao opcoes;
  CoresDasMarcas cores{};
  std::string png, png_sem_diferencas;
  Comparacao propria;
  std::string arquivo, arquivo_sem_diferencas;
};
// Makes what the learners share, from `pixels` and the stroke displacement.
void aluno_prepara_modelo(int deslocamento, Modelo *m);

// Grades `c` (whose `figura` and `diferenca` name its pictures, relative to
// the report folder `relatorio`) from its run's outcome, under the class's
// tolerance: the verdict, the message, the console, the lines to mark, the
// comparison, and its pictures written (the names cleared of those it has
// not). A picture that cannot be written leaves it "interrompido", said.
void aluno_corrige(const Turma &turma, Modelo *modelo, const std::string &relatorio,
                   const ParserResultado &resultado, Correcao *c);
// The same for a run that could not start, `erro` saying why.
void aluno_nao_rodou(const std::string &erro, Correcao *c);
