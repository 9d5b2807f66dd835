// SPDX-License-Identifier: GPL-3.0-or-later
// Tables of messages as data: a file of records (GKeyFile groups), each a
// pattern over a message (GRegex, with named captures) and the keys that
// say what to make of it (its Portuguese text, where to place it, what
// enriches it). The compiler's wordings and the analyser's explanations
// are two such files. GTK-free.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

typedef struct _GRegex GRegex;

struct Registro {
  std::string nome;                          // the group's name
  std::map<std::string, std::string> chaves; // every key, as written
  std::shared_ptr<GRegex> padrao;            // null: matches every message
  std::vector<std::string> capturas;         // the names of its captures
  // The value of `chave`, or `padrao` when it has none.
  const std::string &chave(const std::string &chave, const std::string &padrao = "") const;
};

using Partes = std::map<std::string, std::string>;

struct Registros {
  std::vector<Registro> registros;
  std::string erro; // what was wrong with the file; empty when nothing was
};

// The records of `texto` (a data file's contents), in their order; a record
// whose pattern does not compile is left out, and said in `erro`.
Registros registros_le(const char *texto);
// The first record whose pattern matches all of `mensagem` and whose keys
// hold every pair of `condicoes` (a key given as empty must be missing);
// its captures added to `partes`; with `aceita`, the first that it also
// accepts. Null when none does.
const Registro *
registros_procura(const Registros &tabela, const std::string &mensagem, const Partes &condicoes,
                  Partes *partes,
                  const std::function<bool(const Registro &, Partes *)> &aceita = nullptr);
// Whether `texto` matches all of `padrao` (a pattern of a record's key),
// its captures added to `partes`.
bool registros_casa(const std::string &padrao, const std::string &texto, Partes *partes);
// `modelo` with each "${nome}" replaced by that part ("${nome:tabela}": the
// part put through the records whose key "tabela" is that name first, the
// part itself being ${valor} there).
std::string registros_preenche(const Registros &tabela, const std::string &modelo,
                               const Partes &partes);
