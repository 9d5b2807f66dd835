// SPDX-License-Identifier: GPL-3.0-or-later
// The window test's support: GTK and screen helpers, the one dialog
// driver, and main, which makes one window for every test.
#include "janela.h"

#include "olpa_analise.h"
#include "olpa_idioma.h"

#include "olpa_layout.h"
#include "olpaparser.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>

#include <deque>
#include <memory>
#include <set>

std::string exemplos;

static void pendentes() {
  gdk_display_sync(gdk_display_get_default());
  while (gtk_events_pending())
    gtk_main_iteration();
}

void botao_do_mouse(GtkWidget *w, GdkWindow *janela, GdkEventType tipo, guint botao, double x,
                    double y) {
  GdkEvent *e = gdk_event_new(tipo);
  e->button.window = GDK_WINDOW(g_object_ref(janela));
  e->button.button = botao;
  e->button.x = x;
  e->button.y = y;
  e->button.time = GDK_CURRENT_TIME;
  gdk_event_set_device(
      e, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_widget_event(w, e);
  gdk_event_free(e);
}

void processa() {
  while (olpa_rodando()) // a run goes on from the main loop: its end is pending too
    gtk_main_iteration();
  pendentes();
  // Then one whole frame of the window (what was queued laid out and drawn),
  // and what that brought; no frame in 200 ms is none to wait for.
  GdkFrameClock *relogio = gtk_widget_get_frame_clock(olpa_janela);
  if (!relogio)
    return;
  bool pintou = false;
  const auto marca = +[](bool *p) { *p = true; };
  const gulong id = g_signal_connect_swapped(relogio, "after-paint", G_CALLBACK(marca), &pintou);
  gdk_frame_clock_request_phase(relogio, GDK_FRAME_CLOCK_PHASE_AFTER_PAINT);
  const gint64 fim = g_get_monotonic_time() + 200000;
  while (!pintou && g_get_monotonic_time() < fim)
    if (!g_main_context_iteration(nullptr, FALSE))
      g_usleep(1000);
  g_signal_handler_disconnect(relogio, id);
  pendentes();
}
void aguarda(int ms) {
  const gint64 fim = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < fim) {
    while (gtk_events_pending())
      gtk_main_iteration();
    g_usleep(5 * 1000);
  }
}

void percorre(GtkWidget *w, const std::function<void(GtkWidget *)> &f) {
  f(w);
  if (GTK_IS_CONTAINER(w)) {
    GList *filhos = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList *l = filhos; l; l = l->next)
      percorre(GTK_WIDGET(l->data), f);
    g_list_free(filhos);
  }
}

std::string texto(GtkTextBuffer *b) {
  GtkTextIter i, f;
  gtk_text_buffer_get_bounds(b, &i, &f);
  OlpaTexto t(gtk_text_buffer_get_text(b, &i, &f, TRUE));
  return t.get();
}
std::string editor() {
  return texto(olpa_campo_codigo_buffer);
}
std::string console() {
  return texto(olpa_campo_console_buffer);
}
void poe(const std::string &codigo) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, codigo.c_str(), -1);
}
void clica(GtkWidget *botao) {
  gtk_button_clicked(GTK_BUTTON(botao));
  processa();
}
void rodar(const std::string &codigo) {
  poe(codigo), clica(olpa_bt_executar);
}

Imagem de_pixbuf(GdkPixbuf *p) {
  return de_rgba(gdk_pixbuf_read_pixels(p), gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p),
                 gdk_pixbuf_get_rowstride(p), gdk_pixbuf_get_n_channels(p));
}
// Whether the image view shows exactly the picture in `arquivo`.
bool mostra(const std::string &arquivo) {
  const OlpaObjeto<GdkPixbuf> p(olpa_vista_pixbuf());
  Imagem esperada;
  return p && le_png(arquivo, &esperada) && compara(esperada, de_pixbuf(p.get())) == 0;
}
// What the screen shows of a widget.
Imagem na_tela(GtkWidget *w) {
  processa();
  int x, y;
  gtk_widget_translate_coordinates(w, olpa_janela, 0, 0, &x, &y);
  GdkPixbuf *p = gdk_pixbuf_get_from_window(gtk_widget_get_window(olpa_janela), x, y,
                                            gtk_widget_get_allocated_width(w),
                                            gtk_widget_get_allocated_height(w));
  const Imagem im = de_pixbuf(p);
  g_object_unref(p);
  return im;
}
uint32_t fundo_do_console() {
  return na_tela(olpa_campo_console).em(300, 80) & 0xffffff;
}
void aperta(guint tecla, GdkModifierType mods) {
  tecla_so(tecla, mods);
  processa();
}
void tecla_so(guint tecla, GdkModifierType mods) {
  GdkEvent *e = gdk_event_new(GDK_KEY_PRESS);
  e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(olpa_janela)));
  e->key.keyval = tecla;
  e->key.state = mods;
  e->key.hardware_keycode = static_cast<guint16>(
      XKeysymToKeycode(gdk_x11_get_default_xdisplay(), static_cast<KeySym>(tecla)));
  gdk_event_set_device(
      e, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_main_do_event(e);
  gdk_event_free(e);
}
bool ate(const std::function<bool()> &feito) {
  for (gint64 fim = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
       !feito() && g_get_monotonic_time() < fim; g_usleep(2000))
    while (gtk_events_pending())
      gtk_main_iteration_do(FALSE);
  return feito();
}
uint32_t na_imagem(int x, int y) {
  const OlpaObjeto<GdkPixbuf> p(olpa_vista_pixbuf());
  return p ? de_pixbuf(p.get()).em(x, y) : 0;
}

// ------------------------------------------------------------ dialog driver

namespace {
std::deque<Resposta> respostas;
std::set<GtkWidget *> respondidos; // answered, maybe still on screen a moment
int vez;

gboolean tique(gpointer) {
  GtkWidget *topo = nullptr; // a message dialog stands over the chooser it came from
  GList *janelas = gtk_window_list_toplevels();
  for (GList *l = janelas; l; l = l->next) {
    auto *w = GTK_WIDGET(l->data);
    if ((GTK_IS_MESSAGE_DIALOG(w) || (GTK_IS_FILE_CHOOSER_DIALOG(w) && !topo)) &&
        gtk_widget_get_visible(w) && !respondidos.count(w))
      topo = w;
  }
  g_list_free(janelas);
  if (!topo)
    return G_SOURCE_CONTINUE;
  const bool desiste = respostas.empty() || vez > 6000 / TIQUE_MS; // nobody will answer it
  if (desiste) {
    ADD_FAILURE() << "diálogo sem resposta: " << gtk_window_get_title(GTK_WINDOW(topo));
    respostas.clear();
    gtk_dialog_response(GTK_DIALOG(topo), GTK_RESPONSE_CANCEL);
  } else if (!respostas.front()(topo, vez++)) {
    return G_SOURCE_CONTINUE;
  }
  if (!desiste)
    respostas.pop_front();
  vez = 0;
  if (respondidos.insert(topo).second) // forgotten when gone: the memory is reused
    g_object_weak_ref(
        G_OBJECT(topo), [](gpointer, GObject *o) { respondidos.erase(GTK_WIDGET(o)); }, nullptr);
  return G_SOURCE_CONTINUE;
}

} // namespace

void com_respostas(std::vector<Resposta> lista, const std::function<void()> &acao, bool todas) {
  respostas.assign(lista.begin(), lista.end());
  vez = 0;
  const guint fonte = g_timeout_add(TIQUE_MS, tique, nullptr);
  acao();
  processa();
  g_source_remove(fonte);
  EXPECT_TRUE(!todas || respostas.empty()) << respostas.size() << " diálogo(s) não apareceu";
  respostas.clear();
}

void clica(GtkWidget *botao, std::vector<Resposta> lista) {
  com_respostas(lista, [botao] { clica(botao); });
}

// A message dialog with this title and text, answered with `resposta`.
Resposta mensagem(const std::string &titulo, const std::string &texto, int resposta) {
  return [=](GtkWidget *d, int) {
    OlpaTexto t;
    g_object_get(d, "text", &t, nullptr);
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(d)), titulo);
    EXPECT_STREQ(t.get(), texto.c_str());
    gtk_dialog_response(GTK_DIALOG(d), resposta);
    return true;
  };
}
Resposta aviso(const std::string &texto) {
  return mensagem("Aviso", texto, GTK_RESPONSE_OK);
}
Resposta novo(int resposta) {
  return mensagem("Confirmação", "Deseja abandonar todas as alterações?", resposta);
}
Resposta responde(int resposta) {
  return [=](GtkWidget *d, int) { return gtk_dialog_response(GTK_DIALOG(d), resposta), true; };
}
// GTK's own "replace it?" over the save dialog; after no, that answers again.
Resposta substituir(bool sim) {
  return [=](GtkWidget *d, int) {
    GtkWidget *seletor = GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(d)));
    EXPECT_TRUE(GTK_IS_FILE_CHOOSER_DIALOG(seletor));
    gtk_dialog_response(GTK_DIALOG(d), sim ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
    if (!sim)
      respondidos.erase(seletor);
    return true;
  };
}

std::string pasta_de(GtkWidget *d) {
  OlpaTexto p(gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(d)));
  return p ? p.get() : "";
}

// "Abrir": opens in exemplos/; picks `caminho` (again now and then: the
// folder loads in the background) and accepts; with `some`, the file goes
// away between pick and accept.
Resposta abrir(const std::string &caminho, bool some) {
  auto escolheu = std::make_shared<bool>(false);
  return [=](GtkWidget *d, int vez) {
    if (pasta_de(d).empty() && vez < 3000 / TIQUE_MS)
      return false; // the dialog takes its folder once it runs
    OlpaTexto escolhido(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d)));
    if (!escolhido || caminho != escolhido.get()) {
      if (!*escolheu) {
        EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_OPEN);
        EXPECT_EQ(pasta_de(d), exemplos);
      }
      if (!*escolheu || vez % (50 / TIQUE_MS) == 0)
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), caminho.c_str()), *escolheu = true;
      return false;
    }
    if (some)
      g_remove(caminho.c_str());
    return gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT), true;
  };
}

// "Salvar": offers `nome` in `pasta` (checked once loaded), then saves to
// `destino` (empty: as offered) or answers `resposta`.
Resposta salvar(const std::string &pasta, const std::string &nome, const std::string &destino,
                int resposta) {
  return [=](GtkWidget *d, int vez) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    OlpaTexto oferecido(gtk_file_chooser_get_current_name(s));
    if ((pasta_de(d) != pasta || nome != oferecido.get()) && vez < 3000 / TIQUE_MS)
      return false;
    EXPECT_EQ(gtk_file_chooser_get_action(s), GTK_FILE_CHOOSER_ACTION_SAVE);
    EXPECT_EQ(pasta_de(d), pasta);
    EXPECT_STREQ(oferecido.get(), nome.c_str());
    if (!destino.empty()) {
      gtk_file_chooser_set_current_folder(s, OlpaTexto(g_path_get_dirname(destino.c_str())).get());
      gtk_file_chooser_set_current_name(s, OlpaTexto(g_path_get_basename(destino.c_str())).get());
    }
    return gtk_dialog_response(GTK_DIALOG(d), resposta), true;
  };
}
Resposta salvar_novo(int resposta) {
  return salvar(exemplos, "meuprojeto.olp", "", resposta);
}

void Janela::SetUp() {
  olpa_limpa_codigo_e_console();
  olpa_nome_arquivo.clear();
  g_remove(em_exemplos("meuprojeto.olp").c_str());
  parser_define_tempo_limite(10);
  processa();
}

int main(int argc, char **argv) {
  RaizTemporaria raiz;
  exemplos = raiz.raiz + "/exemplos";
  // GTK's recent files and settings stay out of the user's home.
  setenv("XDG_DATA_HOME", raiz.raiz.c_str(), 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("XDG_CONFIG_HOME", (raiz.raiz + "/config").c_str(), 1); // the zoom's file
  gtk_disable_setlocale(); // numbers in messages as the cases write them
  // The analyser of this build, the compiler's warnings left to it, and a
  // run's end waiting for it however busy the machine is.
  setenv("OLPA_ANALISA", OLPA_BIN_DIR "/olpa-analisa", 0);
  setenv("OLPA_ANALISE_ESPERA_MS", "60000", 0);
  olpa_analise_prepara();
  gtk_init(&argc, &argv);
  olpa_idioma_portugues(); // as the program does
  ::testing::InitGoogleTest(&argc, argv);
  if (system("cp -r " OLPA_BIN_DIR "/olpalib/. olpalib/") != 0)
    return 1;
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  processa();
  const int r = RUN_ALL_TESTS();
  parser_encerra();
  analise_encerra();
  return r;
}
