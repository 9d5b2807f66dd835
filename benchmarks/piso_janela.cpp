// SPDX-License-Identifier: GPL-3.0-or-later
// The floor bench_janela sets the real window against: the least a window
// can do for "Rodar" -> picture on screen. A plain GTK window with the
// "Rodar" and "Limpar" buttons and the picture where olpa has them; "Rodar"
// compiles, links and runs the program in this process (libtcc, the drawing
// library, the PNG written), the canvas copied once into a surface made
// ahead and shown. No child, no confinement, no console.
//
// piso_janela PROGRAM   (from a run tree's bin/, as olpa)
#include "olpa_layout.h"
#include "olpagfx.h"
#include "olpaparser.h"
#include "olpaparser_medidas.h"

#include <gtk/gtk.h>

#include <cstring>
#include <string>

#include <fcntl.h>

namespace {

std::string codigo;
GtkWidget *imagem;
unsigned char caminho[OLPA_CAMINHO_MAX];
cairo_surface_t *tela;

void rodar(GtkWidget *, gpointer) {
  parser_executa_no_processo(codigo.c_str());
  cairo_surface_mark_dirty(tela);
  gtk_image_set_from_surface(GTK_IMAGE(imagem), tela);
  gtk_widget_queue_draw(imagem);
}

void limpar(GtkWidget *, gpointer) {
  gtk_image_set_from_file(GTK_IMAGE(imagem), "olpalib/init.png");
}

GtkWidget *botao(GtkWidget *fixo, int i, const char *rotulo, GCallback acao) {
  const int largura = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5;
  GtkWidget *b = gtk_button_new_with_label(rotulo);
  gtk_widget_set_size_request(b, largura, OLPA_BT_ALTURA);
  gtk_fixed_put(GTK_FIXED(fixo), b, i * (largura + OLPA_ESPACO), 0);
  g_signal_connect(b, "clicked", acao, nullptr);
  return b;
}

} // namespace

int main(int argc, char **argv) {
  gtk_init(&argc, &argv);
  gchar *texto = nullptr;
  if (argc < 2 || !g_file_get_contents(argv[1], &texto, nullptr, nullptr)) {
    fprintf(stderr, "usage: piso_janela PROGRAM\n");
    return 2;
  }
  codigo = texto;
  g_free(texto);
  olpa_gfx_define_trace([](const char *, size_t) {});
  parser_define_trace(open("/dev/null", O_WRONLY));
  // The picture written goes straight into the surface shown.
  static unsigned char pixels[OLPA_TELA_BYTES] __attribute__((aligned(64)));
  memset(pixels, 0, sizeof pixels);
  olpa_gfx_define_ultima_imagem(pixels, reinterpret_cast<char *>(caminho));
  tela = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA,
                                             OLPA_TELA_ALTURA, OLPA_TELA_STRIDE);

  GtkWidget *janela = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(janela), "piso");
  gtk_container_set_border_width(GTK_CONTAINER(janela), OLPA_BORDA);
  gtk_window_set_default_size(GTK_WINDOW(janela), OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA);
  GtkWidget *fixo = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(janela), fixo);
  botao(fixo, 3, "Rodar", G_CALLBACK(rodar));
  botao(fixo, 4, "Limpar", G_CALLBACK(limpar));
  imagem = gtk_image_new_from_file("olpalib/init.png");
  gtk_fixed_put(GTK_FIXED(fixo), imagem, OLPA_IMAGEM_X, 0);
  g_signal_connect(janela, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(janela);
  gtk_main();
  return 0;
}
