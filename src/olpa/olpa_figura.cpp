// SPDX-License-Identifier: GPL-3.0-or-later
// The picture's right-click menu: "Salvar figura como…" writes the picture
// shown, pixel for pixel, as a PNG wherever the learner picks; "Copiar
// figura" puts it on the clipboard, for a document or a slide.
#include "olpa.h"
#include "olpa_motivos.h"

namespace {

// The picture the image view shows; null when it shows none (GTK's
// broken-image icon, when the start picture is missing).
OlpaObjeto<GdkPixbuf> figura_mostrada() {
  return OlpaObjeto<GdkPixbuf>(olpa_vista_pixbuf());
}

void salvar_como(GtkMenuItem *, gpointer) {
  GtkWidget *dialogo = gtk_file_chooser_dialog_new(
      "Salvar figura", GTK_WINDOW(olpa_janela), GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancelar",
      GTK_RESPONSE_CANCEL, "_Salvar", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser *seletor = GTK_FILE_CHOOSER(dialogo);
  GtkFileFilter *filtro = gtk_file_filter_new();
  gtk_file_filter_set_name(filtro, "Figuras PNG (*.png)");
  gtk_file_filter_add_pattern(filtro, "*.png");
  gtk_file_chooser_add_filter(seletor, filtro);
  gtk_file_chooser_set_do_overwrite_confirmation(seletor, TRUE);
  OlpaTexto telas(g_canonicalize_filename("../telas", nullptr));
  gtk_file_chooser_set_current_folder(seletor, telas.get());
  gtk_file_chooser_set_current_name(seletor, "figura.png");
  olpa_seletor_cabe_na_tela(dialogo);
  if (gtk_dialog_run(GTK_DIALOG(dialogo)) == GTK_RESPONSE_ACCEPT) {
    OlpaTexto caminho(gtk_file_chooser_get_filename(seletor));
    if (caminho)
      olpa_figura_salva(caminho.get());
  }
  gtk_widget_destroy(dialogo);
}

void copiar(GtkMenuItem *, gpointer) {
  olpa_figura_copia();
}

GtkWidget *item(GtkWidget *menu, const char *rotulo, GCallback acao, bool ativo) {
  GtkWidget *i = gtk_menu_item_new_with_label(rotulo);
  gtk_widget_set_sensitive(i, ativo);
  g_signal_connect(i, "activate", acao, nullptr);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), i);
  return i;
}

gboolean clique(GtkWidget *, GdkEventButton *evento, gpointer) {
  if (!gdk_event_triggers_context_menu(reinterpret_cast<GdkEvent *>(evento)))
    return FALSE;
  gtk_menu_popup_at_pointer(GTK_MENU(olpa_figura_menu()), reinterpret_cast<GdkEvent *>(evento));
  return TRUE;
}

} // namespace

GtkWidget *olpa_figura_menu(void) {
  static GtkWidget *menu = nullptr;
  if (menu)
    gtk_widget_destroy(menu);
  menu = gtk_menu_new();
  gtk_menu_attach_to_widget(GTK_MENU(menu), olpa_imagem, nullptr);
  const bool tem = gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)) == GTK_IMAGE_PIXBUF ||
                   gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)) == GTK_IMAGE_SURFACE;
  item(menu, "Salvar figura como…", G_CALLBACK(salvar_como), tem);
  item(menu, "Copiar figura", G_CALLBACK(copiar), tem);
  gtk_widget_show_all(menu);
  return menu;
}

void olpa_figura_liga_menu(GtkWidget *area) {
  gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(area, "button-press-event", G_CALLBACK(clique), nullptr);
}

bool olpa_figura_salva(const char *caminho) {
  const OlpaObjeto<GdkPixbuf> figura = figura_mostrada();
  GError *erro = nullptr;
  if (figura && gdk_pixbuf_save(figura.get(), caminho, "png", &erro, nullptr))
    return true;
  OlpaTexto nome(g_filename_display_name(caminho));
  const char *motivo = "não há figura na tela";
  if (erro && erro->domain == G_FILE_ERROR)
    motivo = olpa_motivo_arquivo(static_cast<GFileError>(erro->code));
  else if (erro)
    motivo = erro->message;
  OlpaTexto mensagem(g_strdup_printf("Não foi possível salvar a figura \"%s\": %s.", nome.get(),
                                     motivo ? motivo : erro->message));
  olpa_aviso_utf8(mensagem.get());
  if (erro)
    g_error_free(erro);
  return false;
}

bool olpa_figura_copia(void) {
  const OlpaObjeto<GdkPixbuf> figura = figura_mostrada();
  if (!figura)
    return false;
  gtk_clipboard_set_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), figura.get());
  return true;
}
