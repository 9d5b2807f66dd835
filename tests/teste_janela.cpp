// The window under a virtual display, through its own widgets and the real
// dialogs: one pass through each action, each shortcut and the file edge
// cases, and a soak that runs cases through the button and expects what the
// case runner expects (OLPA_SOAK_EXECUCOES runs, 20 by default).
#include <gtest/gtest.h> // before X11's headers, whose macros clash with it

#include "olpa.h"
#include "olpa_layout.h"
#include "olpagfx.h"
#include "olpaparser.h"
#include "suporte.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <glib/gstdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <deque>
#include <functional>
#include <memory>
#include <set>

namespace {

RaizTemporaria *raiz;
const std::string CASOS = OLPA_FONTE_DIR "/tests/casos/";

void processa() {
  gdk_display_sync(gdk_display_get_default());
  for (int i = 0; i < 5; i++) {
    while (gtk_events_pending())
      gtk_main_iteration();
    g_usleep(5 * 1000);
  }
}

std::string texto(GtkTextBuffer *b) {
  GtkTextIter i, f;
  gtk_text_buffer_get_bounds(b, &i, &f);
  char *t = gtk_text_buffer_get_text(b, &i, &f, TRUE);
  std::string s = t;
  g_free(t);
  return s;
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
void rodar(const std::string &codigo) {
  poe(codigo);
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
  processa();
}

// Whether the image view shows exactly the picture in `arquivo`.
bool mostra(const std::string &arquivo) {
  GdkPixbuf *p = gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem));
  Imagem esperada;
  return p && le_png(arquivo, &esperada) &&
         compara(esperada, de_rgba(gdk_pixbuf_read_pixels(p), gdk_pixbuf_get_width(p),
                                   gdk_pixbuf_get_height(p), gdk_pixbuf_get_rowstride(p),
                                   gdk_pixbuf_get_n_channels(p))) == 0;
}

// What the screen shows of a widget.
Imagem na_tela(GtkWidget *w) {
  processa();
  int x, y;
  gtk_widget_translate_coordinates(w, olpa_janela, 0, 0, &x, &y);
  GdkPixbuf *p = gdk_pixbuf_get_from_window(gtk_widget_get_window(olpa_janela), x, y,
                                            gtk_widget_get_allocated_width(w),
                                            gtk_widget_get_allocated_height(w));
  const Imagem im =
      de_rgba(gdk_pixbuf_read_pixels(p), gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p),
              gdk_pixbuf_get_rowstride(p), gdk_pixbuf_get_n_channels(p));
  g_object_unref(p);
  return im;
}
uint32_t na_tela(GtkWidget *w, int x, int y) {
  return na_tela(w).em(x, y) & 0xffffff;
}

// White pixels in the console's first line, on screen.
int brancos() {
  const Imagem im = na_tela(olpa_campo_console);
  int n = 0;
  for (int x = 0; x < 330; x++)
    for (int y = 0; y < 18; y++)
      n += im.em(x, y) == 0xffffffffu;
  return n;
}

// ------------------------------------------------------------ dialog driver

// Answers a dialog; called on every tick while it is on top (`vez` counts
// the calls), returns true once it has answered.
using Resposta = std::function<bool(GtkWidget *dialogo, int vez)>;
std::deque<Resposta> respostas;
std::set<GtkWidget *> respondidos; // answered, maybe still on screen a moment
int vez, parado;

GtkWidget *no_topo() {
  GtkWidget *mensagem = nullptr, *seletor = nullptr;
  GList *janelas = gtk_window_list_toplevels();
  for (GList *l = janelas; l; l = l->next) {
    GtkWidget *w = GTK_WIDGET(l->data);
    if (respondidos.count(w) || !gtk_widget_get_visible(w))
      continue;
    if (GTK_IS_MESSAGE_DIALOG(w))
      mensagem = w;
    else if (GTK_IS_FILE_CHOOSER_DIALOG(w))
      seletor = w;
  }
  g_list_free(janelas);
  return mensagem ? mensagem : seletor;
}

gboolean tique(gpointer) {
  GtkWidget *d = no_topo();
  if (!d)
    return G_SOURCE_CONTINUE;
  if (respostas.empty() || ++parado > 300) { // 6 s: nobody will answer it
    ADD_FAILURE() << "diálogo sem resposta: " << gtk_window_get_title(GTK_WINDOW(d));
    respostas.clear();
    gtk_dialog_response(GTK_DIALOG(d),
                        GTK_IS_MESSAGE_DIALOG(d) ? GTK_RESPONSE_YES : GTK_RESPONSE_CANCEL);
  } else if (respostas.front()(d, vez++)) {
    respostas.pop_front();
    if (respondidos.insert(d).second) // forgotten when gone: the memory is reused
      g_object_weak_ref(
          G_OBJECT(d), [](gpointer, GObject *o) { respondidos.erase(GTK_WIDGET(o)); }, nullptr);
    vez = parado = 0;
  }
  return G_SOURCE_CONTINUE;
}

// Runs `acao`, which blocks in its dialogs while the answers answer them.
void com_dialogos(std::vector<Resposta> lista, const std::function<void()> &acao) {
  respostas.assign(lista.begin(), lista.end());
  vez = parado = 0;
  const guint fonte = g_timeout_add(20, tique, nullptr);
  acao();
  processa();
  g_source_remove(fonte);
  EXPECT_TRUE(respostas.empty()) << respostas.size() << " diálogo(s) esperado(s) não apareceu";
  respostas.clear();
}

std::string mensagem_de(GtkWidget *d) {
  char *t = nullptr;
  g_object_get(d, "text", &t, nullptr);
  std::string s = t ? t : "";
  g_free(t);
  return s;
}

// A message dialog with this title and text, answered with `resposta`.
Resposta mensagem(const std::string &titulo, const std::string &texto, int resposta) {
  return [=](GtkWidget *d, int) {
    EXPECT_TRUE(GTK_IS_MESSAGE_DIALOG(d));
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(d)), titulo);
    EXPECT_EQ(mensagem_de(d), texto);
    gtk_dialog_response(GTK_DIALOG(d), resposta);
    return true;
  };
}
const std::string INVALIDO = "Arquivo inválido!";
Resposta aviso(const std::string &texto) {
  return mensagem("Aviso", texto, GTK_RESPONSE_OK);
}
Resposta novo(bool sim) {
  return mensagem("Confirmação", "Deseja abandonar todas as alterações?",
                  sim ? GTK_RESPONSE_YES : GTK_RESPONSE_NO);
}
// GTK's own "replace it?" question over the save dialog.
Resposta substituir(bool sim) {
  return [=](GtkWidget *d, int) {
    EXPECT_TRUE(GTK_IS_FILE_CHOOSER_DIALOG(gtk_window_get_transient_for(GTK_WINDOW(d))));
    gtk_dialog_response(GTK_DIALOG(d), sim ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
    if (!sim) // the save dialog under it answers next
      respondidos.erase(GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(d))));
    return true;
  };
}

std::string pasta_de(GtkWidget *d) {
  char *p = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(d));
  std::string s = p ? p : "";
  g_free(p);
  return s;
}
std::string arquivo_de(GtkWidget *d) {
  char *p = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d));
  std::string s = p ? p : "";
  g_free(p);
  return s;
}
std::string exemplos() {
  return raiz->raiz + "/exemplos";
}

// "Abrir": opens in exemplos/; picks `caminho` (once its folder has loaded)
// and accepts; with `some`, the file goes away between pick and accept.
Resposta abrir(const std::string &caminho, bool some = false) {
  auto escolheu = std::make_shared<int>(-1);
  return [=](GtkWidget *d, int vez) {
    if (pasta_de(d).empty() && vez < 150)
      return false; // the dialog takes its folder once it runs
    if (*escolheu < 0) {
      EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_OPEN);
      EXPECT_EQ(pasta_de(d), exemplos());
    }
    if (arquivo_de(d) != caminho) { // the folder loads in the background: pick again now and then
      if (vez - *escolheu >= 10 || *escolheu < 0)
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), caminho.c_str()), *escolheu = vez;
      return false;
    }
    if (some)
      remove(caminho.c_str());
    gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
    return true;
  };
}

// "Salvar": offers `nome` in `pasta` (checked once loaded), then saves to
// `destino` (empty: as offered) or gives `resposta`.
Resposta salvar(const std::string &pasta, const std::string &nome, const std::string &destino = "",
                int resposta = GTK_RESPONSE_ACCEPT) {
  return [=](GtkWidget *d, int vez) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    EXPECT_EQ(gtk_file_chooser_get_action(s), GTK_FILE_CHOOSER_ACTION_SAVE);
    char *atual = gtk_file_chooser_get_current_name(s);
    const std::string oferecido = atual ? atual : "";
    g_free(atual);
    if ((pasta_de(d) != pasta || oferecido != nome) && vez < 150)
      return false;
    EXPECT_EQ(pasta_de(d), pasta);
    EXPECT_EQ(oferecido, nome);
    if (!destino.empty()) {
      gtk_file_chooser_set_current_folder(s, g_path_get_dirname(destino.c_str()));
      gtk_file_chooser_set_current_name(s, g_path_get_basename(destino.c_str()));
    }
    gtk_dialog_response(GTK_DIALOG(d), resposta);
    return true;
  };
}
Resposta cancelar(int resposta = GTK_RESPONSE_CANCEL) {
  return [=](GtkWidget *d, int) {
    gtk_dialog_response(GTK_DIALOG(d), resposta);
    return true;
  };
}

void clica(GtkWidget *botao, std::vector<Resposta> lista) {
  com_dialogos(lista, [botao] { gtk_button_clicked(GTK_BUTTON(botao)); });
}

class Janela : public ::testing::Test {
protected:
  void SetUp() override {
    olpa_limpa_codigo_e_console();
    olpa_nome_arquivo.clear();
    remove((exemplos() + "/meuprojeto.olp").c_str());
    parser_define_tempo_limite(10);
    processa();
  }
  static std::string em_exemplos(const std::string &nome) { return exemplos() + "/" + nome; }
};

// ------------------------------------------------------------ the window

TEST_F(Janela, ComoComeca) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(olpa_janela)), OLPA_TITULO);
  constexpr int BT = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5, PASSO = BT + OLPA_ESPACO;
  struct {
    GtkWidget *w;
    int x, y, largura, altura;
    const char *rotulo;
  } esperados[] = {
      {olpa_bt_novo, 0, 0, BT, OLPA_BT_ALTURA, "Novo"},
      {olpa_bt_abrir, PASSO, 0, BT, OLPA_BT_ALTURA, "Abrir"},
      {olpa_bt_salvar, 2 * PASSO, 0, BT, OLPA_BT_ALTURA, "Salvar"},
      {olpa_bt_executar, 3 * PASSO, 0, BT, OLPA_BT_ALTURA, "Rodar"},
      {olpa_bt_limpar, 4 * PASSO, 0, BT, OLPA_BT_ALTURA, "Limpar"},
      {olpa_campo_codigo_container, 0, OLPA_EDITOR_Y, OLPA_COLUNA_LARGURA, OLPA_EDITOR_ALTURA,
       nullptr},
      {olpa_campo_console_container, 0, OLPA_CONSOLE_Y, OLPA_COLUNA_LARGURA, OLPA_CONSOLE_ALTURA,
       nullptr},
      {olpa_imagem, OLPA_IMAGEM_X, 0, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA, nullptr},
  };
  for (const auto &e : esperados) {
    int x, y;
    gtk_widget_translate_coordinates(e.w, olpa_layout, 0, 0, &x, &y);
    EXPECT_EQ(x, e.x);
    EXPECT_EQ(y, e.y);
    EXPECT_EQ(gtk_widget_get_allocated_width(e.w), e.largura) << e.x;
    EXPECT_EQ(gtk_widget_get_allocated_height(e.w), e.altura) << e.x;
    if (e.rotulo) {
      EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(e.w)), e.rotulo);
    }
  }
  EXPECT_EQ(editor(), OLPA_TEXTO_INICIAL);
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(olpa_campo_console)));
  EXPECT_TRUE(mostra(OLPA_IMAGEM_INICIAL));
  GList *icones = gtk_window_get_default_icon_list();
  EXPECT_EQ(g_list_length(icones), 5u);
  g_list_free(icones);
}

TEST_F(Janela, ConsoleBrancoNoPretoEVermelhoNoErro) {
  EXPECT_EQ(na_tela(olpa_campo_console, 300, 80), 0x000000u);
  EXPECT_GT(brancos(), 20); // the first line's text
  olpa_console_erro();
  EXPECT_EQ(na_tela(olpa_campo_console, 300, 80), 0xff0000u);
  EXPECT_GT(brancos(), 20);
  olpa_console_normal();
  EXPECT_EQ(na_tela(olpa_campo_console, 300, 80), 0x000000u);
}

TEST_F(Janela, Rodar) {
  rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  EXPECT_EQ(na_tela(olpa_imagem, 320, 240), 0xff0000u);
  // A run that writes no picture leaves the one shown.
  rodar("int main(void) { return 0; }");
  EXPECT_TRUE(mostra(CASOS + "linha_vermelha.png"));

  const std::string errado = le_arquivo(CASOS + "erro_de_compilacao.olp");
  rodar(errado);
  EXPECT_TRUE(olpa_console_em_erro());
  EXPECT_EQ(na_tela(olpa_campo_console, 300, 80), 0xff0000u);
  EXPECT_TRUE(mostra(OLPA_IMAGEM_INICIAL));
  EXPECT_EQ(olpa_linhas_marcadas(), 1);
  EXPECT_EQ(editor(), errado);
  rodar("int main(void) { return 0; }");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_EQ(olpa_linhas_marcadas(), 0);
}

TEST_F(Janela, LimparVoltaAosPadroes) {
  rodar("int main(void) { inicia_arquivo(\"outra.png\"); grava_tela(\"outra.png\"); }");
  escreve_arquivo("../telas/imagem.png", le_arquivo("../telas/outra.png"));
  gtk_button_clicked(GTK_BUTTON(olpa_bt_limpar));
  processa();
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(OLPA_IMAGEM_INICIAL));
  EXPECT_FALSE(g_file_test("../telas/imagem.png", G_FILE_TEST_EXISTS));
  EXPECT_TRUE(g_file_test("../telas/outra.png", G_FILE_TEST_EXISTS));
  // Automatic saving to imagem.png again.
  rodar("int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

TEST_F(Janela, NovoPerguntaAntes) {
  rodar("int main(void) { inicia(); termina(); }");
  for (int resposta : {GTK_RESPONSE_NO, GTK_RESPONSE_DELETE_EVENT})
    clica(olpa_bt_novo,
          {mensagem("Confirmação", "Deseja abandonar todas as alterações?", resposta)});
  EXPECT_EQ(editor(), "int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  clica(olpa_bt_novo, {novo(true)});
  EXPECT_EQ(editor(), OLPA_TEXTO_INICIAL);
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(OLPA_IMAGEM_INICIAL));
  EXPECT_FALSE(g_file_test("../telas/imagem.png", G_FILE_TEST_EXISTS));
}

// Each accelerator presses its button, once (counted; the dialogs it opens
// are cancelled); plain letters press nothing.
TEST_F(Janela, AtalhosApertamOsBotoes) {
  struct {
    guint tecla;
    int mods;
    GtkWidget *botao;
    std::vector<Resposta> dialogos;
  } atalhos[] = {{GDK_KEY_F5, 0, olpa_bt_executar, {}},
                 {GDK_KEY_r, GDK_CONTROL_MASK, olpa_bt_executar, {}},
                 {GDK_KEY_s, GDK_CONTROL_MASK, olpa_bt_salvar, {cancelar()}},
                 {GDK_KEY_o, GDK_CONTROL_MASK, olpa_bt_abrir, {cancelar()}},
                 {GDK_KEY_n, GDK_CONTROL_MASK, olpa_bt_novo, {novo(false)}},
                 {GDK_KEY_r, 0, nullptr, {}}};
  GtkWidget *botoes[] = {olpa_bt_novo, olpa_bt_abrir, olpa_bt_salvar, olpa_bt_executar,
                         olpa_bt_limpar};
  int cliques[5] = {};
  for (int i = 0; i < 5; i++)
    g_signal_connect(botoes[i], "clicked", G_CALLBACK(+[](GtkWidget *, int *n) { ++*n; }),
                     &cliques[i]);
  GdkKeymap *teclado = gdk_keymap_get_for_display(gdk_display_get_default());
  for (const auto &a : atalhos) {
    GdkEvent *e = gdk_event_new(GDK_KEY_PRESS);
    e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(olpa_janela)));
    e->key.keyval = a.tecla;
    e->key.state = a.mods;
    GdkKeymapKey *chaves;
    gint n;
    if (gdk_keymap_get_entries_for_keyval(teclado, a.tecla, &chaves, &n)) {
      e->key.hardware_keycode = static_cast<guint16>(chaves[0].keycode);
      g_free(chaves);
    }
    gdk_event_set_device(
        e, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    int antes[5];
    std::copy(cliques, cliques + 5, antes);
    com_dialogos(a.dialogos, [e] { gtk_widget_event(olpa_janela, e); });
    gdk_event_free(e);
    for (int i = 0; i < 5; i++)
      EXPECT_EQ(cliques[i] - antes[i], botoes[i] == a.botao) << a.tecla << " " << i;
  }
  for (int i = 0; i < 5; i++)
    g_signal_handlers_disconnect_matched(botoes[i], G_SIGNAL_MATCH_DATA, 0, 0, 0, 0, &cliques[i]);
}

// Cases run through the button: the window shows what the case runner
// expects, run after run, in a fixed pseudo-random order.
TEST_F(Janela, Resistencia) {
  const char *casos[] = {"linha_vermelha", "composicao", "erro_de_compilacao",
                         "queda_depois_de_texto", "laco_sem_fim"};
  const char *pedido = getenv("OLPA_SOAK_EXECUCOES");
  const int execucoes = pedido ? atoi(pedido) : 20;
  parser_define_tempo_limite(0.5);
  unsigned sorteio = 12345;
  for (int i = 0, erros = 0; i < execucoes && erros < 3; i++) {
    sorteio = sorteio * 1103515245u + 12345u;
    const std::string caso = CASOS + casos[(sorteio >> 16) % 5];
    const std::string esperado = le_arquivo(caso + ".console");
    rodar(le_arquivo(caso + ".olp"));
    const bool erro = esperado.find(", console de erro\n") != std::string::npos;
    const bool certo = console() == esperado.substr(0, esperado.find("#= ")) &&
                       olpa_console_em_erro() == erro &&
                       mostra(erro ? OLPA_IMAGEM_INICIAL : caso + ".png");
    erros += !certo;
    EXPECT_TRUE(certo) << "execução " << i << ", " << caso << ": console\n" << console();
  }
}

// ------------------------------------------------------------ code files

const char ACENTOS[] = "// ação\r\nint main() {\r\n\tinicia(); /* “aspas” € */\n}";

TEST_F(Janela, SalvarEAbrirDevolvemOsMesmosBytes) {
  poe(ACENTOS);
  clica(olpa_bt_salvar, {salvar(exemplos(), "meuprojeto.olp")});
  const std::string arquivo = em_exemplos("meuprojeto.olp");
  EXPECT_EQ(le_arquivo(arquivo), ACENTOS);
  EXPECT_EQ(console(), std::string(OLPA_CONSOLE_INICIAL) + "[olpa] arquivo salvo.\n");
  EXPECT_FALSE(olpa_codigo_modificado());
  poe("// outra coisa\n");
  clica(olpa_bt_abrir, {abrir(arquivo)});
  EXPECT_EQ(editor(), ACENTOS);
  // The load can be undone, in one step.
  gtk_source_buffer_undo(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer));
  EXPECT_EQ(editor(), "// outra coisa\n");

  // A name typed without the extension is used as typed.
  clica(olpa_bt_salvar, {salvar(exemplos(), "meuprojeto.olp", em_exemplos("sem_extensao"))});
  EXPECT_EQ(le_arquivo(em_exemplos("sem_extensao")), "// outra coisa\n");
  // An empty editor makes an empty file, which does not load.
  poe("");
  clica(olpa_bt_salvar, {salvar(exemplos(), "sem_extensao", arquivo), substituir(true)});
  EXPECT_EQ(le_arquivo(arquivo), "");
  poe("// meu programa\n");
  clica(olpa_bt_abrir, {abrir(arquivo), aviso(INVALIDO)});
  EXPECT_EQ(editor(), "// meu programa\n");
}

TEST_F(Janela, ArquivosQueNaoSaoProgramasSaoRecusados) {
  const std::string nulo = em_exemplos("nulo.olp"), grande = em_exemplos("grande.olp");
  escreve_arquivo(nulo, std::string("int x;\0int y;\n", 14));
  escreve_arquivo(grande, std::string(64000, 'a'));
  escreve_arquivo(em_exemplos("some.olp"), "int x;\n");
  poe("// meu programa\n");
  for (const std::string &arquivo : {nulo, grande})
    clica(olpa_bt_abrir, {abrir(arquivo), aviso(INVALIDO)});
  clica(olpa_bt_abrir, {abrir(em_exemplos("some.olp"), true), aviso(INVALIDO)});
  // A pipe must not block the load; a folder is no program either.
  ASSERT_EQ(mkfifo(em_exemplos("cano.olp").c_str(), 0644), 0);
  g_mkdir(em_exemplos("pasta.olp").c_str(), 0755);
  for (const char *nome : {"cano.olp", "pasta.olp"}) {
    olpa_nome_arquivo = em_exemplos(nome);
    com_dialogos({aviso(INVALIDO)}, [] { EXPECT_EQ(olpa_carrega_codigo(), 0); });
  }
  EXPECT_EQ(editor(), "// meu programa\n");
  EXPECT_EQ(olpa_arquivo_temnome, 0);

  // 63999 bytes fit; text from an old Windows editor is converted.
  std::string cabe; // short lines: a 64 KB line takes GTK seconds to lay out
  while (cabe.size() < 63920)
    cabe += "//" + std::string(77, 'x') + "\n";
  cabe += "//" + std::string(76, 'x') + "\n";
  escreve_arquivo(grande, cabe);
  clica(olpa_bt_abrir, {abrir(grande)});
  EXPECT_EQ(editor(), cabe);
  escreve_arquivo(nulo, "// a\xe7\xe3o custa \x80 5\n");
  clica(olpa_bt_abrir, {abrir(nulo)});
  EXPECT_EQ(editor(), "// ação custa € 5\n");
}

TEST_F(Janela, AbrirLimpaATela) {
  rodar("int main(void) { inicia_arquivo(\"m.png\"); grava_tela(\"m.png\"); }");
  rodar("int main(void) { int x = y; }");
  escreve_arquivo("../telas/imagem.png", le_arquivo("../telas/m.png"));
  escreve_arquivo(em_exemplos("limpa.olp"), "int main(void) { inicia(); termina(); }\n");
  clica(olpa_bt_abrir, {abrir(em_exemplos("limpa.olp"))});
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_TRUE(mostra(OLPA_IMAGEM_INICIAL));
  EXPECT_FALSE(g_file_test("../telas/imagem.png", G_FILE_TEST_EXISTS));
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar)); // saves automatically again
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

TEST_F(Janela, SalvarOfereceOArquivoConhecido) {
  const std::string fora = raiz->raiz + "/fora", arquivo = fora + "/de_fora.olp";
  g_mkdir(fora.c_str(), 0755);
  escreve_arquivo(arquivo, "int a;\n");
  clica(olpa_bt_abrir, {abrir(arquivo)});
  clica(olpa_bt_salvar, {salvar(fora, "de_fora.olp", "", GTK_RESPONSE_CANCEL)});
  clica(olpa_bt_novo, {novo(false)});
  clica(olpa_bt_salvar, {salvar(fora, "de_fora.olp", "", GTK_RESPONSE_DELETE_EVENT)});
  // Refusing to replace keeps the dialog; cancelling it then writes nothing.
  poe("int b;\n");
  clica(olpa_bt_salvar, {salvar(fora, "de_fora.olp"), substituir(false), cancelar()});
  EXPECT_EQ(le_arquivo(arquivo), "int a;\n");
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  // A known file that has gone is still offered by name.
  remove(arquivo.c_str());
  clica(olpa_bt_salvar, {salvar(fora, "de_fora.olp")});
  EXPECT_EQ(le_arquivo(arquivo), "int b;\n");
  clica(olpa_bt_abrir, {cancelar()}); // still opens in exemplos/
  EXPECT_EQ(editor(), "int b;\n");
  EXPECT_EQ(olpa_nome_arquivo, arquivo);
  // "Limpar" and "Novo" forget the name.
  gtk_button_clicked(GTK_BUTTON(olpa_bt_limpar));
  clica(olpa_bt_salvar, {salvar(exemplos(), "meuprojeto.olp", "", GTK_RESPONSE_CANCEL)});
  clica(olpa_bt_abrir, {abrir(arquivo)});
  clica(olpa_bt_novo, {novo(true)});
  clica(olpa_bt_salvar, {salvar(exemplos(), "meuprojeto.olp", "", GTK_RESPONSE_CANCEL)});
}

TEST_F(Janela, SalvarSemPoderGravarPreservaOArquivo) {
  // So long a name leaves no room for the temporary file written first.
  const std::string arquivo = em_exemplos(std::string(246, 'n') + ".olp");
  FILE *f = fopen(arquivo.c_str(), "w");
  fputs("// antiga\n", f);
  fclose(f);
  poe("// nova\n");
  clica(olpa_bt_salvar,
        {salvar(exemplos(), "meuprojeto.olp", arquivo), substituir(true),
         aviso("Não foi possível salvar o arquivo \"" + arquivo + "\": o nome é longo demais.")});
  EXPECT_EQ(le_arquivo(arquivo), "// antiga\n");
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(olpa_codigo_modificado());

  // Through a link: the file it points at, keeping link and permissions.
  const std::string real = em_exemplos("real.olp"), atalho = em_exemplos("atalho.olp");
  escreve_arquivo(real, "int r;\n");
  chmod(real.c_str(), 0640);
  ASSERT_EQ(symlink("real.olp", atalho.c_str()), 0);
  clica(olpa_bt_abrir, {abrir(atalho)});
  poe("int s;\n");
  clica(olpa_bt_salvar, {salvar(exemplos(), "atalho.olp"), substituir(true)});
  EXPECT_EQ(le_arquivo(real), "int s;\n");
  GStatBuf info;
  EXPECT_TRUE(g_lstat(atalho.c_str(), &info) == 0 && S_ISLNK(info.st_mode));
  EXPECT_TRUE(g_stat(real.c_str(), &info) == 0 && (info.st_mode & 0777) == 0640);
}

// Closing asks only when there are unsaved changes; "no" keeps everything.
TEST_F(Janela, FecharComAlteracoesPergunta) {
  const auto fecha = [] {
    g_idle_add(
        [](gpointer) {
          gtk_window_close(GTK_WINDOW(olpa_janela));
          return G_SOURCE_REMOVE;
        },
        nullptr);
    gtk_main();
  };
  com_dialogos({}, fecha);
  poe("int mudado;\n");
  const Resposta sair =
      mensagem("Confirmação", "Deseja sair sem salvar as alterações?", GTK_RESPONSE_NO);
  // After "no", close again and say yes.
  com_dialogos({[sair](GtkWidget *d, int v) {
                  sair(d, v);
                  g_timeout_add(
                      100,
                      [](gpointer) {
                        EXPECT_TRUE(gtk_widget_get_visible(olpa_janela));
                        EXPECT_EQ(editor(), "int mudado;\n");
                        gtk_window_close(GTK_WINDOW(olpa_janela));
                        return G_SOURCE_REMOVE;
                      },
                      nullptr);
                  return true;
                },
                mensagem("Confirmação", "Deseja sair sem salvar as alterações?", GTK_RESPONSE_YES)},
               fecha);
}

// The real program: closed, it exits with the compiler probe's status.
TEST(Programa, FecharSaiComOStatusDaSonda) {
  const char *argv[] = {OLPA_BIN_DIR "/olpa", nullptr};
  GPid pid;
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD,
                            nullptr, nullptr, &pid, nullptr));
  Display *d = XOpenDisplay(nullptr);
  const Atom pid_atom = XInternAtom(d, "_NET_WM_PID", False);
  Window janela = 0;
  for (int i = 0; i < 200 && !janela; i++, g_usleep(50 * 1000)) {
    Window r, p, *filhas = nullptr;
    unsigned n = 0;
    XQueryTree(d, DefaultRootWindow(d), &r, &p, &filhas, &n);
    for (unsigned j = 0; j < n; j++) {
      Atom tipo;
      int formato;
      unsigned long itens, resta;
      unsigned char *valor = nullptr;
      if (XGetWindowProperty(d, filhas[j], pid_atom, 0, 1, False, XA_CARDINAL, &tipo, &formato,
                             &itens, &resta, &valor) == Success &&
          valor && *reinterpret_cast<long *>(valor) == pid) {
        char *nome = nullptr; // not its other windows, the client leader among them
        if (XFetchName(d, filhas[j], &nome) && nome && strcmp(nome, OLPA_TITULO) == 0)
          janela = filhas[j];
        if (nome)
          XFree(nome);
      }
      if (valor)
        XFree(valor);
    }
    if (filhas)
      XFree(filhas);
  }
  ASSERT_NE(janela, 0u);
  g_usleep(300 * 1000);
  XEvent e{};
  e.xclient = {ClientMessage, 0, False, d, janela, XInternAtom(d, "WM_PROTOCOLS", False), 32, {}};
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  XSendEvent(d, janela, False, NoEventMask, &e);
  XFlush(d);
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) != pid; i++)
    g_usleep(50 * 1000);
  XCloseDisplay(d);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

} // namespace

int main(int argc, char **argv) {
  // GTK's recent files and settings stay out of the user's home.
  raiz = new RaizTemporaria;
  setenv("XDG_DATA_HOME", raiz->raiz.c_str(), 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  gtk_disable_setlocale(); // numbers in messages as the cases write them
  gtk_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (system("cp -r " OLPA_BIN_DIR "/olpalib/. olpalib/") != 0)
    return 1;
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  processa();
  const int r = RUN_ALL_TESTS();
  parser_encerra();
  delete raiz;
  return r;
}
