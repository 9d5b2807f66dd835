// SPDX-License-Identifier: GPL-3.0-or-later
// The window test's support: GTK and screen helpers, and the one dialog
// driver, which answers the dialogs an action blocks in.
#pragma once

#include <gtest/gtest.h>

#include "olpa.h"
#include "suporte.h"

#include <functional>
#include <string>
#include <vector>

const std::string CASOS = OLPA_FONTE_DIR "/tests/casos/", INICIAL = OLPA_IMAGEM_INICIAL;
extern std::string exemplos; // the run tree's exemplos/

void processa(); // lets GTK handle what is pending, drawing included
// Lets GTK work for `ms` milliseconds (timers included).
void aguarda(int ms);
// Every widget under `w`, depth first.
void percorre(GtkWidget *w, const std::function<void(GtkWidget *)> &f);
std::string editor();
std::string console();
void poe(const std::string &codigo);
void clica(GtkWidget *botao);
// A mouse button event of `tipo` at (x, y) of `janela`, handed to `w`.
void botao_do_mouse(GtkWidget *w, GdkWindow *janela, GdkEventType tipo, guint botao, double x,
                    double y);
void rodar(const std::string &codigo);
bool mostra(const std::string &arquivo); // the image view shows exactly that picture
Imagem de_pixbuf(GdkPixbuf *p);
Imagem na_tela(GtkWidget *w); // what the screen shows of a widget
uint32_t fundo_do_console();
// A key as the keyboard delivers it: through GTK's event handling to the
// window, which hands it on to the widget with the focus; then what is
// pending (a run to its end). The key alone, while a run goes on.
void aperta(guint tecla, GdkModifierType mods = static_cast<GdkModifierType>(0));
void tecla_so(guint tecla, GdkModifierType mods = static_cast<GdkModifierType>(0));
// Lets the main loop run until `feito` holds, for 10 s at most.
bool ate(const std::function<bool()> &feito);
// The pixel the image view shows at (x, y), 0xAARRGGBB.
uint32_t na_imagem(int x, int y);

// Answers the dialog on top; called on every tick, TIQUE_MS apart (`vez`
// counts the calls), until it returns true, having answered.
using Resposta = std::function<bool(GtkWidget *dialogo, int vez)>;
constexpr int TIQUE_MS = 5;
// Runs `acao` while `lista` answers the dialogs it blocks in; with `todas`,
// each answer must have found its dialog. A dialog nobody answers fails the
// test and is cancelled after 6 s.
void com_respostas(std::vector<Resposta> lista, const std::function<void()> &acao,
                   bool todas = true);
void clica(GtkWidget *botao, std::vector<Resposta> lista);

Resposta mensagem(const std::string &titulo, const std::string &texto, int resposta);
Resposta aviso(const std::string &texto);
Resposta novo(int resposta); // the question of "Novo"
Resposta responde(int resposta);
Resposta substituir(bool sim); // GTK's "replace it?" over the save dialog
Resposta abrir(const std::string &caminho, bool some = false);
Resposta salvar(const std::string &pasta, const std::string &nome, const std::string &destino = "",
                int resposta = GTK_RESPONSE_ACCEPT);
Resposta salvar_novo(int resposta = GTK_RESPONSE_CANCEL); // offers exemplos/meuprojeto.olp

class Janela : public ::testing::Test {
protected:
  void SetUp() override;
  static std::string em_exemplos(const std::string &nome) { return exemplos + "/" + nome; }
};
