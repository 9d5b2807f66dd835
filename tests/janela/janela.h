// SPDX-License-Identifier: GPL-3.0-or-later
// The window test's support: GTK and screen helpers, and the one dialog
// driver, which answers the dialogs an action blocks in. Nothing here waits
// for a time: every wait is for something to happen, however busy the
// machine (ctest's time-out is the one limit).
#pragma once

#include <gtest/gtest.h>

#include "olpa.h"
#include "olpa_teste.h"
#include "suporte.h"

#include <functional>
#include <string>
#include <vector>

const std::string CASOS = OLPA_FONTE_DIR "/tests/casos/", INICIAL = OLPA_IMAGEM_INICIAL;
extern std::string raiz;     // the run tree (bin/ is the working directory)
extern std::string exemplos; // its exemplos/
extern Olpa *olpa;           // the window
extern OlpaUI *ui;           // its widgets

// Lets GTK handle what is pending, without waiting for anything more.
void pendentes();
// Lets GTK handle what is pending and draw one whole frame.
void quadro();
// Lets a run end, then as quadro.
void processa();
// Lets the main loop run until `feito` holds.
void ate(const std::function<bool()> &feito);
// Every widget under `w`, depth first.
void percorre(GtkWidget *w, const std::function<void(GtkWidget *)> &f);
std::string texto(GtkTextBuffer *b);
std::string editor();
std::string console();
void poe(const std::string &codigo);
void clica(GtkWidget *botao);
// A mouse button event of `tipo` at (x, y) of `janela`, handed to `w`.
void botao_do_mouse(GtkWidget *w, GdkWindow *janela, GdkEventType tipo, guint botao, double x,
                    double y);
void rodar(const std::string &codigo);
// A left click on the console's line `linha` (from 1), as the mouse gives it.
void clica_no_console(int linha);
// The line (from 1) of the editor's cursor.
int linha_do_cursor();
bool mostra(const std::string &arquivo); // the image view shows exactly that picture
Imagem de_pixbuf(GdkPixbuf *p);
Imagem na_tela(GtkWidget *w); // what the screen shows of a widget
uint32_t fundo_do_console();
// A key as the keyboard delivers it: through GTK's event handling to the
// window, which hands it on to the widget with the focus.
void tecla(guint tecla, GdkModifierType mods = static_cast<GdkModifierType>(0));
// The same, and then what follows it (a run started by it included).
void aperta(guint tecla, GdkModifierType mods = static_cast<GdkModifierType>(0));
// The main window has the keyboard (no window manager gives it).
void foca_a_janela();
// The pixel the image view shows at (x, y), 0xAARRGGBB.
uint32_t na_imagem(int x, int y);
// Lets GTK work for `ms` milliseconds, timers included: only before
// checking that something did NOT happen meanwhile (a busy machine lets
// less happen, and the check still holds). Whatever is to happen is waited
// for with `ate`.
void aguarda(int ms);

// Whether a dialog can be read and answered: shown, and a file chooser once
// its folder is read (and a save dialog's name is there). prepara_seletores,
// once before any file chooser, lets it tell.
void prepara_seletores();
bool pronto(GtkWidget *dialogo);
// Answers the dialog on top once it is ready; called again (`vez` counts
// the calls) until it returns true, having answered.
using Resposta = std::function<bool(GtkWidget *dialogo, int vez)>;
// Runs `acao` (and what is pending after it) while `lista` answers the
// dialogs it blocks in, one each, in order; a dialog with no answer left
// goes to `sem_resposta` (a failure of the test when none is given) and is
// closed. Returns how many answers found no dialog.
size_t com_respostas(std::vector<Resposta> lista, const std::function<void()> &acao,
                     const std::function<void(GtkWidget *)> &sem_resposta = nullptr);
// `botao` clicked while `lista` answers, each answer finding its dialog.
void clica(GtkWidget *botao, std::vector<Resposta> lista);

// A save dialog made to save at `caminho`, once it shows that folder (the
// `vez`-th call); false until then.
bool salva_em(GtkWidget *dialogo, const std::string &caminho, int vez);

Resposta mensagem(const std::string &titulo, const std::string &texto, int resposta);
Resposta aviso(const std::string &texto);
Resposta novo(int resposta); // the question of "Novo"
Resposta responde(int resposta);
Resposta substituir(bool sim); // GTK's "replace it?" over the save dialog
Resposta abrir(const std::string &caminho, bool some = false);
Resposta salvar(const std::string &pasta, const std::string &nome, const std::string &destino = "",
                int resposta = GTK_RESPONSE_ACCEPT);

class Janela : public ::testing::Test {
protected:
  void SetUp() override;
  static std::string em_exemplos(const std::string &nome) { return exemplos + "/" + nome; }
};

// The window's data cases (caso.cpp): runs the case at `caso` (the path
// without extension); 0 when it passed.
int roda_caso_da_janela(const std::string &caso);
