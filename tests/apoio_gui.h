// Shared support of the window tests.
#pragma once

#include <gtk/gtk.h>

#include <string>

// Lets GTK handle what is pending (drawing included) before a check.
void processa_eventos();
// The whole text of a text buffer.
std::string texto_do_buffer(GtkTextBuffer *buffer);
// The visible top-level window of type `tipo` (a dialog), null when none.
GtkWidget *janela_visivel(GType tipo);
