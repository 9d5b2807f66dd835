// SPDX-License-Identifier: GPL-3.0-or-later
// The whole class a report was made from, kept beside it (turma.dados), so
// that a later grading into the same folder adds or replaces learners and
// keeps the others.
#pragma once

#include "turma.h"

#include <string>

constexpr char DADOS_ARQUIVO[] = "turma.dados";

std::string dados_texto(const Turma &turma);
// The class kept in `pasta`; false when there is none, or (said in *motivo)
// when what is there cannot be read.
bool dados_le(const std::string &pasta, Turma *turma, std::string *motivo);
