// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis of a learner's program by clang's front end, as the window
// and olpa-rodar see it: ask for a text, get its findings (in line order,
// in Portuguese) later, or at once if it was analysed already. The work is
// done by olpa-analisa, a confined process of its own started on the first
// request and kept for the next ones; nothing here loads libclang. A newer
// text cancels an older one. GTK-free; answers come from the thread-default
// main context, or from analise_espera.
#pragma once

#include "olpaparser.h"

#include <string>
#include <vector>

struct AnaliseAchado {
  bool erro = false;
  int linha = 0, coluna = 0;         // where it is, from 1; the column in bytes of its line
  int linha_fim = 0, coluna_fim = 0; // one past its end (its line and column when it has none)
  std::string opcao;                 // clang's warning option ("-Wformat"), or olpa-faixa
  std::string texto;                 // what it means, in Portuguese, with its values put in
  // The line the mistake really is on, when that is elsewhere (a macro's
  // #define, for an error where the macro is used): the console names it,
  // even when the compiler refused the program. 0 when it is `linha`.
  int linha_do_engano = 0;
};

enum class AnaliseEstado {
  Feita,     // analysed: the findings are all there are
  Desligada, // no analysis here (a build without clang, or switched off): `motivo` says why
  Esgotada,  // the analysis took longer than its limit and was stopped
  Falhou,    // the analyser ended unexpectedly
};

struct AnaliseResultado {
  AnaliseEstado estado = AnaliseEstado::Desligada;
  std::vector<AnaliseAchado> achados; // in line order
  std::string motivo;
};

using AnaliseRetorno = void (*)(const AnaliseResultado &resultado, void *dados);

// Whether programs can be analysed here; false with the reason (in
// Portuguese) when not.
bool analise_ligada(std::string *motivo);
// No analysis from now on (olpa-rodar --sem-analise), `motivo` saying why.
void analise_desliga(const char *motivo);
// Asks for the analysis of `codigo`; `retorno` is called once with its
// result, from the thread-default main context (at once, when `codigo` was
// the text analysed last), unless a newer request came first. Asking again
// for the text under way only changes who is answered. Never blocks.
void analise_pede(const std::string &codigo, AnaliseRetorno retorno, void *dados);
// The result of `codigo` when it is the text analysed last.
bool analise_pronta(const std::string &codigo, AnaliseResultado *resultado);
// The analysis of `codigo` (asked for now if it was not the last asked),
// waiting at most `ms` milliseconds for it; false when it was not ready.
bool analise_espera(const std::string &codigo, int ms, AnaliseResultado *resultado);
// Ends the analyser, if it runs.
void analise_encerra();
// The analyser's process id; 0 when none runs.
int analise_pid();

// What the run of the same text already told, that the analysis need not
// tell again.
struct AnaliseDaExecucao {
  bool compilou = true; // the compiler took it (so it says nothing of clang's errors)
  std::vector<int>
      linhas_erro; // lines it showed an error on (the compiler's, when it did not take it)
  std::vector<int> linhas_aviso; // lines it showed a warning on (a colour out of range)
};

// One line the analysis adds to a run's console: a warning (about `linha`)
// or, "[olpa] ...", why there are none.
struct AnaliseLinha {
  bool aviso = true;
  int linha = 0;
  std::string texto; // with its line end
};
// The findings of `r` as console lines, "[aviso] linha N: ...", in line
// order, each once: its warnings, and its errors when the compiler took the
// program (a mistake it let through); none on a line the compiler showed
// an error on, nor a range of a learner function on a line the run warned
// about; and always those whose mistake is elsewhere, on that line.
std::vector<AnaliseLinha> analise_linhas(const AnaliseResultado &r,
                                         const AnaliseDaExecucao &execucao);
std::string analise_console(const AnaliseResultado &r, const AnaliseDaExecucao &execucao);
// What the console shows of the analysis of `codigo` at the end of its run,
// waiting at most `ms` for it: its findings (analise_linhas); or that it
// took too long or failed; or, once in a process, that there is no analysis
// and why. Nothing when it was not ready in time.
std::vector<AnaliseLinha> analise_linhas_do_fim(const std::string &codigo, int ms,
                                                const AnaliseDaExecucao &execucao);
// What a run's result already told.
AnaliseDaExecucao analise_da_execucao(const ParserResultado &r);
// Those lines put in the result of the run of `codigo` before its final
// status line ("[olpa] sucesso!", or how a run that started ended; after
// the compiler's errors when it did not), with their kinds, each warning's
// line marked.
void analise_no_resultado(const std::string &codigo, int ms, ParserResultado *r);
void analise_poe_no_resultado(const std::vector<AnaliseLinha> &linhas, ParserResultado *r);
