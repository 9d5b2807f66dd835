// SPDX-License-Identifier: GPL-3.0-or-later
// The window test's support: GTK and screen helpers, the one dialog
// driver, and main, which makes one window and then runs either the tests
// or one data case (teste_janela --caso CASO).
#include "janela.h"

#include "olpa_acoes.h"
#include "olpa_analise.h"
#include "olpa_execucao.h"
#include "olpa_idioma.h"
#include "olpa_layout.h"
#include "olpa_vista.h"
#include "olpaparser.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>

#include <deque>
#include <set>

std::string raiz, exemplos;
Olpa *olpa;
OlpaUI *ui;

void pendentes() {
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
  quadro();
}

void quadro() {
  pendentes();
  // One whole frame of the window (what was queued laid out and drawn), and
  // what that brought. The window is shown and no window manager holds its
  // frames back: a frame asked for comes.
  GdkFrameClock *relogio = gtk_widget_get_frame_clock(ui->olpa_janela);
  if (!relogio)
    return;
  bool pintou = false;
  const auto marca = +[](bool *p) { *p = true; };
  const gulong id = g_signal_connect_swapped(relogio, "after-paint", G_CALLBACK(marca), &pintou);
  gdk_frame_clock_request_phase(relogio, GDK_FRAME_CLOCK_PHASE_AFTER_PAINT);
  while (!pintou)
    gtk_main_iteration();
  g_signal_handler_disconnect(relogio, id);
  pendentes();
}

void ate(const std::function<bool()> &feito) {
  while (!feito())
    if (!g_main_context_iteration(nullptr, FALSE))
      g_usleep(1000);
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
  return texto(ui->olpa_campo_codigo_buffer);
}
std::string console() {
  return texto(ui->olpa_campo_console_buffer);
}
void poe(const std::string &codigo) {
  gtk_text_buffer_set_text(ui->olpa_campo_codigo_buffer, codigo.c_str(), -1);
}
void clica(GtkWidget *botao) {
  gtk_button_clicked(GTK_BUTTON(botao));
  processa();
}
void rodar(const std::string &codigo) {
  poe(codigo), clica(ui->olpa_bt_executar);
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
  gtk_widget_translate_coordinates(w, ui->olpa_janela, 0, 0, &x, &y);
  GdkPixbuf *p = gdk_pixbuf_get_from_window(gtk_widget_get_window(ui->olpa_janela), x, y,
                                            gtk_widget_get_allocated_width(w),
                                            gtk_widget_get_allocated_height(w));
  const Imagem im = de_pixbuf(p);
  g_object_unref(p);
  return im;
}
uint32_t fundo_do_console() {
  return na_tela(ui->olpa_campo_console).em(300, 80) & 0xffffff;
}
void tecla(guint tecla, GdkModifierType mods) {
  GdkEvent *e = gdk_event_new(GDK_KEY_PRESS);
  e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(ui->olpa_janela)));
  e->key.keyval = tecla;
  e->key.state = mods;
  e->key.hardware_keycode = static_cast<guint16>(
      XKeysymToKeycode(gdk_x11_get_default_xdisplay(), static_cast<KeySym>(tecla)));
  gdk_event_set_device(
      e, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_main_do_event(e);
  gdk_event_free(e);
}
void aperta(guint t, GdkModifierType mods) {
  tecla(t, mods);
  processa();
}
void aguarda(int ms) {
  const gint64 fim = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
  while (g_get_monotonic_time() < fim)
    if (!g_main_context_iteration(nullptr, FALSE))
      g_usleep(1000);
}
uint32_t na_imagem(int x, int y) {
  const OlpaObjeto<GdkPixbuf> p(olpa_vista_pixbuf());
  return p ? de_pixbuf(p.get()).em(x, y) : 0;
}
void foca_a_janela() {
  gdk_window_focus(gtk_widget_get_window(ui->olpa_janela), GDK_CURRENT_TIME);
  ate([] { return gtk_window_is_active(GTK_WINDOW(ui->olpa_janela)) != FALSE; });
}

// A left click on the console's line `linha` (from 1), as the mouse gives it.
void clica_no_console(int linha) {
  GtkTextView *v = GTK_TEXT_VIEW(ui->olpa_campo_console);
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line(ui->olpa_campo_console_buffer, &i, linha - 1);
  GdkRectangle onde;
  gtk_text_view_get_iter_location(v, &i, &onde);
  int x, y;
  gtk_text_view_buffer_to_window_coords(v, GTK_TEXT_WINDOW_TEXT, onde.x + 4,
                                        onde.y + onde.height / 2, &x, &y);
  for (GdkEventType tipo : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE})
    botao_do_mouse(ui->olpa_campo_console, gtk_text_view_get_window(v, GTK_TEXT_WINDOW_TEXT), tipo,
                   GDK_BUTTON_PRIMARY, x, y);
}

int linha_do_cursor() {
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_mark(ui->olpa_campo_codigo_buffer, &i,
                                   gtk_text_buffer_get_insert(ui->olpa_campo_codigo_buffer));
  return gtk_text_iter_get_line(&i) + 1;
}

// ------------------------------------------------------------ dialog driver

namespace {
std::deque<Resposta> respostas;
std::function<void(GtkWidget *)> ao_sem_resposta;
std::set<GtkWidget *> respondidos; // answered, maybe still on screen a moment
int vez;

std::string pasta_de(GtkWidget *d) {
  OlpaTexto p(gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(d)));
  return p ? p.get() : "";
}

// How the dialog on top was answered.
void ao_responder(GtkDialog *, gint resposta, gpointer dada) {
  *static_cast<gint *>(dada) = resposta;
}

void respondido(GtkWidget *d, gint resposta) {
  // A question over a dialog (GTK's "replace it?" over the save dialog)
  // told no: the dialog under it asks again.
  GtkWindow *pai = gtk_window_get_transient_for(GTK_WINDOW(d));
  if (GTK_IS_DIALOG(pai) && (resposta == GTK_RESPONSE_CANCEL || resposta == GTK_RESPONSE_NO ||
                             resposta == GTK_RESPONSE_DELETE_EVENT))
    respondidos.erase(GTK_WIDGET(pai));
  if (respondidos.insert(d).second) // forgotten when gone: the memory is reused
    g_object_weak_ref(
        G_OBJECT(d), [](gpointer, GObject *o) { respondidos.erase(GTK_WIDGET(o)); }, nullptr);
}

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
  if (!topo || !pronto(topo))
    return G_SOURCE_CONTINUE;
  gint resposta = GTK_RESPONSE_NONE;
  const gulong id = g_signal_connect(topo, "response", G_CALLBACK(ao_responder), &resposta);
  if (respostas.empty()) { // nobody will answer it
    if (ao_sem_resposta)
      ao_sem_resposta(topo);
    else
      ADD_FAILURE() << "diálogo sem resposta: " << gtk_window_get_title(GTK_WINDOW(topo));
    gtk_window_close(GTK_WINDOW(topo));
  } else if (!respostas.front()(topo, vez++)) {
    g_signal_handler_disconnect(topo, id);
    return G_SOURCE_CONTINUE;
  } else {
    respostas.pop_front();
  }
  if (g_signal_handler_is_connected(topo, id)) // not gone with the answer
    g_signal_handler_disconnect(topo, id);
  vez = 0;
  respondido(topo, resposta);
  return G_SOURCE_CONTINUE;
}

} // namespace

namespace {

// The lists of files GTK's file dialogs finished reading (a dialog selects
// what it was told to, and names what it offers, only then). GTK's own
// type, read by its name.
std::set<gpointer> listas_lidas;
GType tipo_da_lista;

gboolean lista_lida(GSignalInvocationHint *, guint, const GValue *valores, gpointer) {
  GObject *lista = G_OBJECT(g_value_get_object(&valores[0]));
  if (listas_lidas.insert(lista).second)
    g_object_weak_ref(
        lista, [](gpointer, GObject *o) { listas_lidas.erase(o); }, nullptr);
  return TRUE;
}

// The list a file dialog shows, once it shows one.
GObject *lista_de(GtkWidget *d) {
  GObject *lista = nullptr;
  percorre(d, [&lista](GtkWidget *w) {
    GtkTreeModel *m = GTK_IS_TREE_VIEW(w) ? gtk_tree_view_get_model(GTK_TREE_VIEW(w)) : nullptr;
    if (m && G_TYPE_CHECK_INSTANCE_TYPE(m, tipo_da_lista))
      lista = G_OBJECT(m);
  });
  return lista;
}

} // namespace

void prepara_seletores() {
  // GTK makes the type with the first list of files it reads.
  GtkWidget *seletor =
      GTK_WIDGET(g_object_ref_sink(gtk_file_chooser_widget_new(GTK_FILE_CHOOSER_ACTION_OPEN)));
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(seletor), raiz.c_str());
  ate([] { return (tipo_da_lista = g_type_from_name("GtkFileSystemModel")) != 0; });
  g_object_unref(seletor);
  g_signal_add_emission_hook(g_signal_lookup("finished-loading", tipo_da_lista), 0, lista_lida,
                             nullptr, nullptr);
}

bool pronto(GtkWidget *d) {
  if (!gtk_widget_get_mapped(d))
    return false;
  if (!GTK_IS_FILE_CHOOSER(d))
    return true;
  // Its folder comes once GTK has looked it up, then its list of files;
  // once that is read, it shows the file it was told to and names it.
  GtkFileChooser *s = GTK_FILE_CHOOSER(d);
  GObject *lista = lista_de(d);
  if (pasta_de(d).empty() || !lista || !listas_lidas.count(lista))
    return false;
  if (gtk_file_chooser_get_action(s) != GTK_FILE_CHOOSER_ACTION_SAVE)
    return true;
  OlpaTexto nome(gtk_file_chooser_get_current_name(s));
  return nome && *nome;
}

size_t com_respostas(std::vector<Resposta> lista, const std::function<void()> &acao,
                     const std::function<void(GtkWidget *)> &sem_resposta) {
  respostas.assign(lista.begin(), lista.end());
  ao_sem_resposta = sem_resposta;
  vez = 0;
  const guint fonte = g_timeout_add(5, tique, nullptr);
  acao();
  pendentes();
  g_source_remove(fonte);
  const size_t sobra = respostas.size();
  respostas.clear();
  ao_sem_resposta = nullptr;
  return sobra;
}

void clica(GtkWidget *botao, std::vector<Resposta> lista) {
  EXPECT_EQ(com_respostas(lista, [botao] { clica(botao); }), 0u) << "diálogo que não apareceu";
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
// GTK's own "replace it?" over the save dialog.
Resposta substituir(bool sim) {
  return [=](GtkWidget *d, int) {
    EXPECT_TRUE(GTK_IS_FILE_CHOOSER_DIALOG(gtk_window_get_transient_for(GTK_WINDOW(d))));
    gtk_dialog_response(GTK_DIALOG(d), sim ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
    return true;
  };
}

// "Abrir": opens in exemplos/; picks `caminho` (again now and then: the
// folder loads in the background, and a pick made before may be lost) and
// accepts; with `some`, the file goes away between pick and accept.
Resposta abrir(const std::string &caminho, bool some) {
  return [=](GtkWidget *d, int vez) {
    if (vez == 0) {
      EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_OPEN);
      EXPECT_EQ(pasta_de(d), exemplos);
    }
    OlpaTexto escolhido(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d)));
    if (!escolhido || caminho != escolhido.get()) {
      if (vez % 10 == 0)
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), caminho.c_str());
      return false;
    }
    if (some)
      g_remove(caminho.c_str());
    return gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT), true;
  };
}

bool salva_em(GtkWidget *d, const std::string &caminho, int vez) {
  GtkFileChooser *s = GTK_FILE_CHOOSER(d);
  const std::string pasta = glib(g_path_get_dirname(caminho.c_str()));
  if (pasta_de(d) != pasta) { // GTK changes folders in the background
    if (vez % 10 == 0)
      gtk_file_chooser_set_current_folder(s, pasta.c_str());
    return false;
  }
  gtk_file_chooser_set_current_name(s, glib(g_path_get_basename(caminho.c_str())).c_str());
  return true;
}

// "Salvar": offers `nome` in `pasta`, then saves to `destino` (empty: as
// offered) or answers `resposta`.
Resposta salvar(const std::string &pasta, const std::string &nome, const std::string &destino,
                int resposta) {
  return [=](GtkWidget *d, int vez) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    OlpaTexto oferecido(gtk_file_chooser_get_current_name(s));
    if (vez == 0) {
      EXPECT_EQ(gtk_file_chooser_get_action(s), GTK_FILE_CHOOSER_ACTION_SAVE);
      EXPECT_EQ(pasta_de(d), pasta);
      EXPECT_STREQ(oferecido.get(), nome.c_str());
    }
    if (!destino.empty() && !salva_em(d, destino, vez))
      return false;
    return gtk_dialog_response(GTK_DIALOG(d), resposta), true;
  };
}

void Janela::SetUp() {
  olpa_limpa_codigo_e_console(*olpa);
  olpa->sessao.olpa_nome_arquivo.clear();
  g_remove(em_exemplos("meuprojeto.olp").c_str());
  parser_define_tempo_limite(10);
  processa();
}

int main(int argc, char **argv) {
  const bool caso = argc == 3 && strcmp(argv[1], "--caso") == 0;
  RaizTemporaria arvore;
  raiz = arvore.raiz;
  exemplos = raiz + "/exemplos";
  // GTK's recent files and settings stay out of the user's home.
  setenv("XDG_DATA_HOME", raiz.c_str(), 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("XDG_CONFIG_HOME", (raiz + "/config").c_str(), 1); // the zoom's file
  gtk_disable_setlocale(); // numbers in messages as the cases write them
  // The analyser of this build, the compiler's warnings left to it, and a
  // run's end waiting for it, and it not stopped, however busy the machine is.
  setenv("OLPA_ANALISA", OLPA_BIN_DIR "/olpa-analisa", 0);
  setenv("OLPA_ANALISE_ESPERA_MS", "60000", 0);
  setenv("OLPA_ANALISE_LIMITE_MS", "60000", 0);
  olpa_analise_prepara();
  gtk_init(&argc, &argv);
  olpa_idioma_portugues(); // as the program does
  // Scrolling jumps rather than glides: where it ends is where it is.
  g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
  if (!caso)
    ::testing::InitGoogleTest(&argc, argv);
  if (system("cp -r " OLPA_BIN_DIR "/olpalib/. olpalib/") != 0)
    return 1;
  prepara_seletores();
  olpa = &olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  ui = &olpa->ui;
  processa();
  const int r = caso ? roda_caso_da_janela(argv[2]) : RUN_ALL_TESTS();
  parser_encerra();
  analise_encerra();
  return r;
}
