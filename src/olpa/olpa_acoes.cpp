// The run, clear and new actions: a run from the editor's text to the
// console and the picture shown, the editor's error marks, and the clearing
// that "Limpar", "Novo" and a loaded file share.
#include "olpa.h"

#include "olpagfx.h"
#include "olpaparser.h"

#include <cstdio>
#include <string>

namespace {

void console_insere(const char *texto) {
  gtk_text_buffer_insert_at_cursor(olpa_campo_console_buffer, texto, -1);
}

void console_substitui(const char *texto) {
  gtk_text_buffer_set_text(olpa_campo_console_buffer, texto, -1);
}

gboolean prepara_proxima_execucao(gpointer) {
  parser_prepara();
  return G_SOURCE_REMOVE;
}

} // namespace

void olpa_mostra_imagem(int tamanho) {
  if (olpa_gfx_png_falhou()) {
    // The file there is not this run's picture.
    gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
    return;
  }
  if (const unsigned char *rgba = parser_imagem_gravada(olpa_arquivo_exportar)) {
    // The run just wrote these pixels there: no need to decode the file again.
    GdkPixbuf *vista =
        gdk_pixbuf_new_from_data(rgba, GDK_COLORSPACE_RGB, TRUE, 8, OLPA_TELA_LARGURA,
                                 OLPA_TELA_ALTURA, OLPA_TELA_STRIDE, nullptr, nullptr);
    GdkPixbuf *copia = gdk_pixbuf_copy(vista);
    gtk_image_set_from_pixbuf(GTK_IMAGE(olpa_imagem), copia);
    g_object_unref(copia);
    g_object_unref(vista);
    return;
  }
  if (tamanho < 1)
    return;
  // Only a 640 x 480 PNG by its header is decoded: a huge picture put there
  // would take the window's memory, a pipe its time.
  std::string png;
  GdkPixbuf *figura = nullptr;
  if (olpa_gfx_le_figura(olpa_arquivo_exportar, &png)) {
    GdkPixbufLoader *leitor = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (leitor &&
        gdk_pixbuf_loader_write(leitor, reinterpret_cast<const guchar *>(png.data()), png.size(),
                                nullptr) &&
        gdk_pixbuf_loader_close(leitor, nullptr))
      figura = gdk_pixbuf_loader_get_pixbuf(leitor);
    if (figura)
      gtk_image_set_from_pixbuf(GTK_IMAGE(olpa_imagem), figura);
    if (leitor)
      g_object_unref(leitor);
  }
  if (!figura)
    gtk_image_set_from_icon_name(GTK_IMAGE(olpa_imagem), "image-missing", GTK_ICON_SIZE_DIALOG);
}

void olpa_liga_execucoes(void) {
  parser_define_saida({console_insere, console_substitui, olpa_console_erro, olpa_marca_erro,
                       olpa_marca_aviso});
  g_idle_add(prepara_proxima_execucao, nullptr);
}

const char *olpa_copia_codigo(void) {
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(olpa_campo_codigo_buffer, &inicio, &fim);
  OlpaTexto texto(gtk_text_buffer_get_text(olpa_campo_codigo_buffer, &inicio, &fim, FALSE));
  olpa_codigo_texto = texto.get();
  return olpa_codigo_texto.c_str();
}

void olpa_botao_executar(GtkWidget *, gpointer) {
  olpa_console_normal();
  olpa_limpa_marcas();
  gtk_text_buffer_set_text(olpa_campo_console_buffer, "[olpa] compilando\n", -1);
  olpa_codigo_fonte(olpa_copia_codigo());
}

void olpa_codigo_fonte(const char *codigo) {
  const int resultado = parser_executa(codigo);
  g_idle_add(prepara_proxima_execucao, nullptr);
  if (resultado != 1)
    return;
  gtk_text_buffer_insert_at_cursor(olpa_campo_console_buffer, "[olpa] sucesso!\n", -1);
  const int tamanho = olpa_tamanho_arquivo(olpa_arquivo_exportar);
  printf("[tamanho] %s, %d\n", olpa_arquivo_exportar, tamanho);
  fflush(stdout);
  olpa_mostra_imagem(tamanho);
}

void olpa_limpa_tela_e_console(GtkWidget *, gpointer) {
  gtk_text_buffer_set_text(olpa_campo_console_buffer, OLPA_CONSOLE_INICIAL, -1);
  gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
  olpa_console_normal();
  olpa_limpa_marcas();
  if (olpa_tamanho_arquivo(OLPA_ARQUIVO_PADRAO) >= 1)
    remove(OLPA_ARQUIVO_PADRAO);
  olpa_defs();
}

void olpa_limpa_codigo_e_console(void) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, OLPA_TEXTO_INICIAL, -1);
  gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, FALSE);
  olpa_limpa_tela_e_console(nullptr, nullptr);
}

void olpa_confirma_limpar(GtkWidget *, gpointer janela) {
  // "Deseja abandonar todas as alterações?" in ISO-8859-1.
  if (olpa_pergunta(GTK_WINDOW(janela), "Deseja abandonar todas as altera\xe7\xf5"
                                        "es?"))
    olpa_limpa_codigo_e_console();
}

// ---------------------------------------------------------------- helpers

int olpa_tamanho_arquivo(const char *caminho) {
  // Regular files only: opening a pipe to measure it would block the window.
  return olpa_gfx_tamanho_arquivo(caminho);
}

char *olpa_utf8(const char *texto) {
  return g_convert(texto, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
}
