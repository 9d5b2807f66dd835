// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell's window: its widgets in one struct, the program in
// the editor and its file in another, both made by olpa_UI and handed to
// every action as its data. Each part of the window has a header of its own
// (olpa_acoes.h, olpa_arquivos.h, olpa_console.h, ...).
#pragma once

#include "olpa_comum.h"

#include <gtk/gtk.h>
#include <gtksourceview/gtksource.h>

#include <memory>
#include <string>

// The strip of steps under the picture (olpa_tira.h): its box, Pausar
// (Continuar) and Passo, the slider, the step's text and the point under
// the mouse.
struct OlpaTiraUI {
  GtkWidget *caixa = nullptr, *pausar = nullptr, *passo = nullptr, *barra = nullptr,
            *texto = nullptr, *coordenadas = nullptr;
};

// The widgets, made once by olpa_UI and alive for the life of the process.
// A new widget is a member here, made where olpa.cpp makes its neighbours.
struct OlpaUI {
  GtkWidget *olpa_janela = nullptr; // the main window, parent of every dialog
  // A fixed layout whose one child, the content, takes all its room: the
  // left column (buttons, then the editor above the console with a border
  // to drag between them) and the picture in a scrolled view, the strip of
  // steps under it (olpa_tira, made by its part).
  GtkWidget *olpa_layout = nullptr, *olpa_conteudo = nullptr, *olpa_coluna = nullptr,
            *olpa_divisao = nullptr;
  GtkWidget *olpa_saida = nullptr, *olpa_imagem_rolagem = nullptr, *olpa_imagem = nullptr;
  GtkWidget *olpa_botoes = nullptr, *olpa_bt_novo = nullptr, *olpa_bt_abrir = nullptr,
            *olpa_bt_salvar = nullptr, *olpa_bt_executar = nullptr, *olpa_bt_limpar = nullptr;
  GtkWidget *olpa_campo_codigo_container = nullptr, *olpa_campo_codigo_formatado = nullptr;
  GtkWidget *olpa_campo_console_container = nullptr, *olpa_campo_console = nullptr;
  GtkTextBuffer *olpa_campo_codigo_buffer = nullptr, *olpa_campo_console_buffer = nullptr;
  GtkSourceLanguageManager *olpa_linguagem_manager = nullptr;
  GtkSourceLanguage *olpa_linguagem = nullptr;
  OlpaTiraUI olpa_tira;
};

// The program in the editor and the file it belongs to. Unnamed (flag 0) at
// the start and after "Limpar" or "Novo" (olpa_defs); named (flag 1) after a
// successful load or an accepted save, and "Salvar" then offers the file.
// An accepted "Abrir" replaces the name even when the load then fails, and
// leaves the flag as it was.
struct OlpaSessao {
  int olpa_arquivo_temnome = 0;
  std::string olpa_nome_arquivo; // the last path accepted in Abrir or Salvar; empty: none yet
  // The editor text of the last run or save, as GTK handed it (a 1 MB
  // program is not copied again on its way to a run).
  OlpaTexto olpa_codigo_texto;
};

// The window: what every action gets as its data.
struct Olpa {
  OlpaUI ui;
  OlpaSessao sessao;
};

// Builds and shows the window, `largura` x `altura` by default and titled
// `titulo`, and hooks every part of it; once.
Olpa &olpa_UI(int largura, int altura, const char *titulo);
// The file state's defaults: unnamed, and the drawing library's (the export
// path "../telas/imagem.png", automatic saving).
void olpa_defs(OlpaSessao &sessao);

// Fixed texts and paths.
extern const char *const OLPA_TITULO; // "olpa v" and the project's version, from CMake
extern const char *const OLPA_TEXTO_INICIAL;
extern const char *const OLPA_CONSOLE_INICIAL;
extern const char *const OLPA_IMAGEM_INICIAL;

// A GObject reference of our own.
struct OlpaGUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T> using OlpaObjeto = std::unique_ptr<T, OlpaGUnref>;
