// SPDX-License-Identifier: GPL-3.0-or-later
// Font size of the editor and the console, for a projector or tired eyes:
// Ctrl+plus, Ctrl+minus, Ctrl+0 and Ctrl+wheel over either, remembered for
// the next start in the user's configuration folder (olpa/olpa.conf).
#include "olpa.h"

#include <glib/gstdio.h>

namespace {

constexpr int MINIMO = 6, MAXIMO = 48; // points
const char GRUPO[] = "editor";
const char CHAVE[] = "tamanho_da_fonte";

int tamanho = 0; // 0: the desktop's own size
GtkCssProvider *estilo = nullptr;

std::string arquivo_de_configuracao() {
  OlpaTexto caminho(g_build_filename(g_get_user_config_dir(), "olpa", "olpa.conf", nullptr));
  return caminho.get();
}

// The size the editor's font has now, in points.
int tamanho_atual() {
  if (tamanho > 0)
    return tamanho;
  PangoFontDescription *fonte = nullptr;
  GtkStyleContext *contexto = gtk_widget_get_style_context(olpa_campo_codigo_formatado);
  gtk_style_context_get(contexto, gtk_style_context_get_state(contexto), "font", &fonte, nullptr);
  int pontos = 10;
  if (fonte && pango_font_description_get_size(fonte) > 0) {
    const double n = pango_font_description_get_size(fonte) / static_cast<double>(PANGO_SCALE);
    // An absolute size is in pixels at 96 dots an inch.
    pontos = static_cast<int>(
        (pango_font_description_get_size_is_absolute(fonte) ? n * 72 / 96 : n) + 0.5);
  }
  if (fonte)
    pango_font_description_free(fonte);
  return pontos;
}

void aplica() {
  OlpaTexto regra(tamanho > 0 ? g_strdup_printf("#olpa-codigo, #olpa-console, #olpa-console text "
                                                "{ font-size: %dpt; }",
                                                tamanho)
                              : g_strdup(""));
  gtk_css_provider_load_from_data(estilo, regra.get(), -1, nullptr);
}

// Keeps the size for the next start; a folder that cannot be written only
// means it is not kept.
void guarda() {
  const std::string caminho = arquivo_de_configuracao();
  OlpaTexto pasta(g_path_get_dirname(caminho.c_str()));
  g_mkdir_with_parents(pasta.get(), 0700);
  GKeyFile *chaves = g_key_file_new();
  g_key_file_load_from_file(chaves, caminho.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  g_key_file_set_integer(chaves, GRUPO, CHAVE, tamanho);
  g_key_file_save_to_file(chaves, caminho.c_str(), nullptr);
  g_key_file_free(chaves);
}

int le_guardado() {
  GKeyFile *chaves = g_key_file_new();
  int n = 0;
  if (g_key_file_load_from_file(chaves, arquivo_de_configuracao().c_str(), G_KEY_FILE_NONE,
                                nullptr))
    n = g_key_file_get_integer(chaves, GRUPO, CHAVE, nullptr);
  g_key_file_free(chaves);
  return n >= MINIMO && n <= MAXIMO ? n : 0;
}

gboolean tecla(GtkWidget *, GdkEventKey *evento, gpointer) {
  if (!(evento->state & GDK_CONTROL_MASK))
    return FALSE;
  switch (evento->keyval) {
  case GDK_KEY_plus:
  case GDK_KEY_equal:
  case GDK_KEY_KP_Add:
    olpa_zoom_passo(1);
    return TRUE;
  case GDK_KEY_minus:
  case GDK_KEY_underscore:
  case GDK_KEY_KP_Subtract:
    olpa_zoom_passo(-1);
    return TRUE;
  case GDK_KEY_0:
  case GDK_KEY_KP_0:
    olpa_zoom_define(0);
    return TRUE;
  default:
    return FALSE;
  }
}

gboolean roda(GtkWidget *, GdkEventScroll *evento, gpointer) {
  if (!(evento->state & GDK_CONTROL_MASK))
    return FALSE;
  double dx = 0, dy = 0;
  if (evento->direction == GDK_SCROLL_UP)
    dy = -1;
  else if (evento->direction == GDK_SCROLL_DOWN)
    dy = 1;
  else if (evento->direction == GDK_SCROLL_SMOOTH)
    gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent *>(evento), &dx, &dy);
  if (dy != 0)
    olpa_zoom_passo(dy < 0 ? 1 : -1);
  return TRUE; // no scrolling while Ctrl is down
}

} // namespace

int olpa_zoom_tamanho(void) {
  return tamanho;
}

void olpa_zoom_define(int pontos) {
  tamanho = pontos == 0 ? 0 : CLAMP(pontos, MINIMO, MAXIMO);
  aplica();
  guarda();
}

void olpa_zoom_passo(int passos) {
  olpa_zoom_define(CLAMP(tamanho_atual() + passos, MINIMO, MAXIMO));
}

void olpa_zoom_carrega(void) {
  tamanho = le_guardado();
  aplica();
}

void olpa_zoom_liga(void) {
  estilo = gtk_css_provider_new();
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(estilo),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
  olpa_zoom_carrega();
  g_signal_connect(olpa_janela, "key-press-event", G_CALLBACK(tecla), nullptr);
  for (GtkWidget *vista : {olpa_campo_codigo_formatado, olpa_campo_console}) {
    gtk_widget_add_events(vista, GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
    g_signal_connect(vista, "scroll-event", G_CALLBACK(roda), nullptr);
  }
}
