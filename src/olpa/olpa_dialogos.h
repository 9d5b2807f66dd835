// SPDX-License-Identifier: GPL-3.0-or-later
// The window's small dialogs: a yes/no question, a warning, and keeping a
// file dialog within the screen. Each runs modally over `pai` and is gone
// when the call returns.
#pragma once

#include <gtk/gtk.h>

// A yes/no question titled "Confirmação" (ISO-8859-1 text); true on yes.
bool olpa_pergunta(GtkWindow *pai, const char *pergunta);
// The question of "Novo", and of whatever else replaces changes not saved:
// "Deseja abandonar todas as alterações?" in ISO-8859-1.
inline constexpr char OLPA_PERGUNTA_ABANDONAR[] = "Deseja abandonar todas as altera\xe7\xf5"
                                                  "es?";
// A warning dialog titled "Aviso", with an ISO-8859-1 text and with a UTF-8
// one.
void olpa_aviso(GtkWindow *pai, const char *mensagem);
void olpa_aviso_utf8(GtkWindow *pai, const char *mensagem);
// Keeps a file dialog within a small screen (and within the one `pai` is on).
void olpa_seletor_cabe_na_tela(GtkWidget *dialogo, GtkWindow *pai);
// ISO-8859-1 to UTF-8; g_free the result.
char *olpa_utf8(const char *texto);
