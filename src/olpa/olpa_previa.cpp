// SPDX-License-Identifier: GPL-3.0-or-later
// The preview of "Abrir": beside the file list, the picture that the
// selected example draws (drawn by the build); nothing for other files.
#include "olpa.h"
#include "olpa_layout.h"

#include <string>

namespace {

void atualiza(GtkFileChooser *seletor, gpointer imagem) {
  OlpaTexto arquivo(gtk_file_chooser_get_preview_filename(seletor));
  GdkPixbuf *figura = nullptr;
  if (arquivo && g_str_has_suffix(arquivo.get(), ".olp")) {
    OlpaTexto nome(g_path_get_basename(arquivo.get()));
    nome.get()[strlen(nome.get()) - 4] = '\0';
    const std::string caminho = std::string(OLPA_FIGURAS_DOS_EXEMPLOS) + "/" + nome.get() + ".png";
    figura = gdk_pixbuf_new_from_file_at_scale(caminho.c_str(), OLPA_PREVIA_LARGURA,
                                               OLPA_PREVIA_ALTURA, TRUE, nullptr);
  }
  gtk_image_set_from_pixbuf(GTK_IMAGE(imagem), figura);
  gtk_file_chooser_set_preview_widget_active(seletor, figura != nullptr);
  if (figura)
    g_object_unref(figura);
}

} // namespace

void olpa_previa_liga(GtkWidget *seletor) {
  GtkWidget *imagem = gtk_image_new();
  gtk_widget_set_size_request(imagem, OLPA_PREVIA_LARGURA, OLPA_PREVIA_ALTURA);
  gtk_file_chooser_set_preview_widget(GTK_FILE_CHOOSER(seletor), imagem);
  gtk_file_chooser_set_use_preview_label(GTK_FILE_CHOOSER(seletor), FALSE);
  gtk_file_chooser_set_preview_widget_active(GTK_FILE_CHOOSER(seletor), FALSE);
  g_signal_connect(seletor, "update-preview", G_CALLBACK(atualiza), imagem);
}
