// SPDX-License-Identifier: GPL-3.0-or-later
// The window's data cases (casos/README.md): what the two halves of their
// runner share. caso.cpp reads a case's actions and does them to the real
// window; caso_relato.cpp writes what the window shows into the case's
// account, and compares that with the one expected.
#pragma once

#include "janela.h"

#include <string>
#include <vector>

// A line of the actions file, split into words ("..." is one word, its C
// escapes undone).
struct Linha {
  int numero = 0;
  std::string texto; // as written (without the blanks around it), for the account
  std::vector<std::string> palavras;
  std::vector<bool> entre_aspas; // each word was written "..."
};

// The case being run.
struct Caso {
  std::string pasta, nome; // the case is pasta/nome.acoes
  std::string relato;      // its account so far
  int falhas = 0;
  // The pictures the account names: the case's own (NOME.N.png, from 1, in
  // the order they were first seen; written with OLPA_REGRAVA=1), then
  // those of other cases the case named.
  std::vector<Imagem> figuras;
  std::vector<std::pair<std::string, Imagem>> outras;
  void falha(const std::string &texto);
  std::string arquivo(const std::string &relativo) const { return pasta + "/" + relativo; }
};

// The text `texto` as lines of the account, each after "| ": line ends
// kept as the line breaks, tabs, CRs, backslashes and other control
// characters written as escapes.
std::string citado(const std::string &texto);
// A path of the run tree as the account writes it (relative to the tree).
std::string na_arvore(const std::string &caminho);
// What the account says of a dialog when it is ready.
std::string descreve_dialogo(GtkWidget *dialogo);
// A checkpoint: what the window shows now, added to the account (`console`,
// `figura`, `marcas`, `editor`, `cursor`, `pixel X Y`, `tela X Y`, `arquivo
// CAMINHO`, `telas`; casos/README.md). False when it is none of them.
bool confere(Caso &caso, const Linha &linha);
// The account against NOME.janela (written there with OLPA_REGRAVA=1), and
// the pictures against NOME.N.png.
void compara_relato(Caso &caso);
