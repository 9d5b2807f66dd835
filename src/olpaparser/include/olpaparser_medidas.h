// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the runner, for the benchmarks only: the phases of the last run,
// and the same pipeline run inside the calling process as a floor.
#pragma once

#include <string>

// Phases of the last run, in milliseconds.
struct ParserTempos {
  double preparo;     // fork of the child (0 when it was ready)
  double envio;       // state and code handed to the child
  double compila;     // tcc_compile_string
  double liga;        // relocation
  double confina;     // confining the child before main
  double programa;    // the program's main
  double total;       // parser_executa, start to end
  long faltas_aquece; // page faults of the child's warm-up, while nothing waited
  long faltas;        // page faults of the child from the code's arrival to its end
  double abre, grava; // of programa: inicia's opening of the canvas, pictures written
  // Moments (parser_agora_ms, the clock of g_get_monotonic_time): the run
  // asked for, its code handed to the child, the child's exit begun, its end
  // seen here.
  double comeca_em, enviado_em, saida_em, fim_visto_em;
};
const ParserTempos &parser_tempos(void);

// The last run's outcome, as its listener heard it at its end.
const struct ParserResultado &parser_ultimo_resultado(void);

// The same pipeline inside the calling process, without any protection; its
// console text in *console, when given.
int parser_executa_no_processo(const char *codigo, std::string *console = nullptr);

// Whether children confine themselves before main (on by default). Off only
// to measure what confining costs; children forked after the call obey it.
void parser_define_confinamento(bool ligado);

// Whether programs are compiled with bounds checks (on by default, when
// tcc's checker is installed). Off only to measure what they cost.
void parser_define_verificacoes(bool ligadas);
