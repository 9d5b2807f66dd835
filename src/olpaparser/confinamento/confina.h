// SPDX-License-Identifier: GPL-3.0-or-later
// Confining a child (confina.cpp): no capabilities, files by Landlock, system
// calls by seccomp, before the compiler reads the program.
#pragma once

#include <string>

// Confines this child for the learner's main: no capabilities and no way to
// gain any, files only beneath the run tree (writing only in ../telas), only
// the system calls a drawing program needs; a refused one ends the child by
// SIGSYS, or exits with SAIDA_PROIBIDA and its number in
// parser_memoria->proibida. False when that could not
// be put in place; `aviso` gets a trace line when only the file rules could not.
bool confina_filho(std::string *aviso);
// Ends this child for trying system call `numero`.
[[noreturn]] void confina_recusa(int numero);
// What a program tried when system call `numero` was refused ("criar outro
// processo"); empty when not even its name is known.
std::string confina_acao(int numero);
