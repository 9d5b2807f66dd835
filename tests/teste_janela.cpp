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

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#include <sys/wait.h>

#include <deque>
#include <functional>
#include <memory>
#include <set>

namespace {

const std::string CASOS = OLPA_FONTE_DIR "/tests/casos/", INICIAL = OLPA_IMAGEM_INICIAL;
std::string exemplos;

void processa() {
  gdk_display_sync(gdk_display_get_default());
  for (int i = 0; i < 5; i++, g_usleep(5000))
    while (gtk_events_pending())
      gtk_main_iteration();
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
bool existe(const std::string &caminho) {
  return g_file_test(caminho.c_str(), G_FILE_TEST_EXISTS);
}

Imagem de_pixbuf(GdkPixbuf *p) {
  return de_rgba(gdk_pixbuf_read_pixels(p), gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p),
                 gdk_pixbuf_get_rowstride(p), gdk_pixbuf_get_n_channels(p));
}
// Whether the image view shows exactly the picture in `arquivo`.
bool mostra(const std::string &arquivo) {
  GdkPixbuf *p = gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem));
  Imagem esperada;
  return p && le_png(arquivo, &esperada) && compara(esperada, de_pixbuf(p)) == 0;
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

// ------------------------------------------------------------ dialog driver

// Answers the dialog on top; called on every tick (`vez` counts the calls)
// until it returns true, having answered.
using Resposta = std::function<bool(GtkWidget *dialogo, int vez)>;
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
  const bool desiste = respostas.empty() || vez > 300; // 6 s: nobody will answer it
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

// Presses `botao`, whose action blocks in its dialogs while `lista` answers them.
void clica(GtkWidget *botao, std::vector<Resposta> lista) {
  respostas.assign(lista.begin(), lista.end());
  vez = 0;
  const guint fonte = g_timeout_add(20, tique, nullptr);
  clica(botao);
  g_source_remove(fonte);
  EXPECT_TRUE(respostas.empty()) << respostas.size() << " diálogo(s) esperado(s) não apareceu";
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
const Resposta INVALIDO = aviso("Arquivo inválido!");
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
Resposta abrir(const std::string &caminho, bool some = false) {
  auto escolheu = std::make_shared<bool>(false);
  return [=](GtkWidget *d, int vez) {
    if (pasta_de(d).empty() && vez < 150)
      return false; // the dialog takes its folder once it runs
    OlpaTexto escolhido(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d)));
    if (!escolhido || caminho != escolhido.get()) {
      if (!*escolheu) {
        EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_OPEN);
        EXPECT_EQ(pasta_de(d), exemplos);
      }
      if (!*escolheu || vez % 10 == 0)
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
Resposta salvar(const std::string &pasta, const std::string &nome, const std::string &destino = "",
                int resposta = GTK_RESPONSE_ACCEPT) {
  return [=](GtkWidget *d, int vez) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    OlpaTexto oferecido(gtk_file_chooser_get_current_name(s));
    if ((pasta_de(d) != pasta || nome != oferecido.get()) && vez < 150)
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
Resposta salvar_novo(int resposta = GTK_RESPONSE_CANCEL) {
  return salvar(exemplos, "meuprojeto.olp", "", resposta);
}

class Janela : public ::testing::Test {
protected:
  void SetUp() override {
    olpa_limpa_codigo_e_console();
    olpa_nome_arquivo.clear();
    g_remove(em_exemplos("meuprojeto.olp").c_str());
    parser_define_tempo_limite(10);
    processa();
  }
  static std::string em_exemplos(const std::string &nome) { return exemplos + "/" + nome; }
};

// ------------------------------------------------------------ the window

TEST_F(Janela, ComoComeca) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(olpa_janela)), OLPA_TITULO);
  const int bt = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5;
  GtkWidget *botoes[] = {olpa_bt_novo, olpa_bt_abrir, olpa_bt_salvar, olpa_bt_executar,
                         olpa_bt_limpar};
  const char *rotulos[] = {"Novo", "Abrir", "Salvar", "Rodar", "Limpar"};
  std::vector<std::tuple<GtkWidget *, int, int, int, int>> esperados = {
      {olpa_campo_codigo_container, 0, OLPA_EDITOR_Y, OLPA_COLUNA_LARGURA, OLPA_EDITOR_ALTURA},
      {olpa_campo_console_container, 0, OLPA_CONSOLE_Y, OLPA_COLUNA_LARGURA, OLPA_CONSOLE_ALTURA},
      {olpa_imagem, OLPA_IMAGEM_X, 0, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA}};
  for (int i = 0; i < 5; i++) {
    esperados.emplace_back(botoes[i], i * (bt + OLPA_ESPACO), 0, bt, OLPA_BT_ALTURA);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(botoes[i])), rotulos[i]);
  }
  for (const auto &[w, x, y, largura, altura] : esperados) {
    int wx, wy;
    gtk_widget_translate_coordinates(w, olpa_layout, 0, 0, &wx, &wy);
    EXPECT_EQ(std::make_tuple(wx, wy, gtk_widget_get_allocated_width(w),
                              gtk_widget_get_allocated_height(w)),
              std::make_tuple(x, y, largura, altura));
  }
  EXPECT_EQ(editor(), OLPA_TEXTO_INICIAL);
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(olpa_campo_console)));
  EXPECT_TRUE(mostra(INICIAL));
  GList *icones = gtk_window_get_default_icon_list();
  EXPECT_EQ(g_list_length(icones), 5u);
  g_list_free(icones);
}

TEST_F(Janela, ConsoleBrancoNoPretoEVermelhoNoErro) {
  for (bool erro : {false, true, false}) {
    erro ? olpa_console_erro() : olpa_console_normal();
    EXPECT_EQ(fundo_do_console(), erro ? 0xff0000u : 0u);
    const Imagem im = na_tela(olpa_campo_console);
    EXPECT_GT(std::count(im.pixels.begin(), im.pixels.begin() + 18 * im.largura, 0xffffffffu), 20)
        << "the first line's text is white";
  }
}

TEST_F(Janela, Rodar) {
  rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xffff0000u);
  rodar("int main(void) { return 0; }"); // writes no picture: the last one stays
  EXPECT_TRUE(mostra(CASOS + "linha_vermelha.png"));
  const std::string errado = le_arquivo(CASOS + "erro_de_compilacao.olp");
  rodar(errado);
  EXPECT_EQ(fundo_do_console(), 0xff0000u);
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_EQ(olpa_linhas_marcadas(), 1);
  EXPECT_EQ(editor(), errado);
  rodar("int main(void) { return 0; }");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_EQ(olpa_linhas_marcadas(), 0);
}

TEST_F(Janela, LimparVoltaAosPadroes) {
  rodar("int main(void) { inicia_arquivo(\"outra.png\"); grava_tela(\"outra.png\"); }");
  escreve_arquivo("../telas/imagem.png", le_arquivo("../telas/outra.png"));
  clica(olpa_bt_limpar);
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_FALSE(existe("../telas/imagem.png"));
  EXPECT_TRUE(existe("../telas/outra.png"));
  rodar("int main(void) { inicia(); termina(); }"); // saving to imagem.png again
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

TEST_F(Janela, NovoPerguntaAntes) {
  rodar("int main(void) { inicia(); termina(); }");
  for (int resposta : {GTK_RESPONSE_NO, GTK_RESPONSE_DELETE_EVENT})
    clica(olpa_bt_novo, {novo(resposta)});
  EXPECT_EQ(editor(), "int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  EXPECT_EQ(editor() + console(), std::string(OLPA_TEXTO_INICIAL) + OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_FALSE(existe("../telas/imagem.png"));
}

// Each accelerator presses its button once (its dialog then cancelled);
// plain letters press nothing.
TEST_F(Janela, AtalhosApertamOsBotoes) {
  struct {
    guint tecla;
    int mods;
    GtkWidget *botao;
  } atalhos[] = {{GDK_KEY_F5, 0, olpa_bt_executar},
                 {GDK_KEY_r, GDK_CONTROL_MASK, olpa_bt_executar},
                 {GDK_KEY_s, GDK_CONTROL_MASK, olpa_bt_salvar},
                 {GDK_KEY_o, GDK_CONTROL_MASK, olpa_bt_abrir},
                 {GDK_KEY_n, GDK_CONTROL_MASK, olpa_bt_novo},
                 {GDK_KEY_r, 0, nullptr}};
  static std::vector<GtkWidget *> clicados;
  void (*conta)(GtkWidget *) = [](GtkWidget *b) { clicados.push_back(b); };
  GtkWidget *botoes[] = {olpa_bt_novo, olpa_bt_abrir, olpa_bt_salvar, olpa_bt_executar};
  for (GtkWidget *b : botoes)
    g_signal_connect(b, "clicked", G_CALLBACK(conta), nullptr);
  for (const auto &a : atalhos) {
    GdkEvent *e = gdk_event_new(GDK_KEY_PRESS);
    e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(olpa_janela)));
    e->key.keyval = a.tecla;
    e->key.state = a.mods;
    e->key.hardware_keycode = static_cast<guint16>(
        XKeysymToKeycode(gdk_x11_get_default_xdisplay(), static_cast<KeySym>(a.tecla)));
    gdk_event_set_device(
        e, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    clicados.clear();
    respostas.assign(1, responde(GTK_RESPONSE_CANCEL)); // the driver runs in the dialog's loop
    const guint fonte = g_timeout_add(20, tique, nullptr);
    gtk_widget_event(olpa_janela, e);
    g_source_remove(fonte);
    gdk_event_free(e);
    EXPECT_EQ(clicados, a.botao ? std::vector<GtkWidget *>{a.botao} : std::vector<GtkWidget *>{})
        << a.tecla;
  }
  for (GtkWidget *b : botoes)
    g_signal_handlers_disconnect_matched(b, G_SIGNAL_MATCH_FUNC, 0, 0, 0, (gpointer)conta, 0);
}

// Cases run through the button: the window shows what the case runner
// expects, run after run, in a fixed pseudo-random order.
TEST_F(Janela, Resistencia) {
  const char *casos[] = {"linha_vermelha", "composicao", "erro_de_compilacao",
                         "queda_depois_de_texto", "laco_sem_fim"};
  const char *pedido = getenv("OLPA_SOAK_EXECUCOES");
  parser_define_tempo_limite(0.5);
  unsigned sorteio = 12345, erros = 0;
  for (int i = 0; i < (pedido ? atoi(pedido) : 20) && erros < 3; i++) {
    sorteio = sorteio * 1103515245u + 12345u;
    const std::string caso = CASOS + casos[(sorteio >> 16) % 5];
    const std::string esperado = le_arquivo(caso + ".console");
    const bool erro = esperado.find(", console de erro\n") != std::string::npos;
    rodar(le_arquivo(caso + ".olp"));
    erros += console() != esperado.substr(0, esperado.find("#= ")) ||
             olpa_console_em_erro() != erro || !mostra(erro ? INICIAL : caso + ".png");
    EXPECT_EQ(erros, 0u) << "execução " << i << ", " << caso << ": console\n" << console();
  }
}

// Programs that go for the window itself: it lives on, the unsaved code in
// the editor intact, and the next program draws.
TEST_F(Janela, ProgramasHostisNaoAlcancamAJanela) {
  for (const char *caso : {"hostil_mata_pai", "hostil_congela_pai", "hostil_evento_falso_fim",
                           "hostil_memoria_da_janela"}) {
    SCOPED_TRACE(caso);
    const std::string programa = le_arquivo(CASOS + caso + ".olp");
    const std::string esperado = le_arquivo(CASOS + caso + ".console");
    rodar(programa);
    EXPECT_EQ(console(), esperado.substr(0, esperado.find("#= ")));
    EXPECT_EQ(editor(), programa);
    rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
    EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xffff0000u);
  }
}

// What is at a picture path is never trusted: a pipe must not hang the
// window, a picture of another size is not decoded.
TEST_F(Janela, FiguraEstranhaNoCaminhoNaoTravaNemEDecodificada) {
  ASSERT_EQ(mkfifo("../telas/imagem.png", 0644), 0);
  rodar("int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(olpa_console_em_erro());
  clica(olpa_bt_limpar);
  clica(olpa_bt_executar);
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  EXPECT_TRUE(mostra(INICIAL));
  GStatBuf info;
  EXPECT_TRUE(g_stat("../telas/imagem.png", &info) == 0 && S_ISFIFO(info.st_mode))
      << "only regular files are removed";
  g_remove("../telas/imagem.png");

  OlpaSurface outra(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 641, 480));
  ASSERT_EQ(cairo_surface_write_to_png(outra.get(), "../telas/grande.png"), CAIRO_STATUS_SUCCESS);
  rodar("int main(void) { inicia_arquivo(\"grande.png\"); termina(); }");
  EXPECT_EQ(console(), "[olpa] compilando\n[olpa] sucesso!\n");
  EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)), GTK_IMAGE_ICON_NAME);
  g_remove("../telas/grande.png");
}

// ------------------------------------------------------------ code files

const char ACENTOS[] = "// ação\r\nint main() {\r\n\tinicia(); /* “aspas” € */\n}";

TEST_F(Janela, SalvarEAbrirDevolvemOsMesmosBytes) {
  poe(ACENTOS);
  clica(olpa_bt_salvar, {salvar_novo(GTK_RESPONSE_ACCEPT)});
  const std::string arquivo = em_exemplos("meuprojeto.olp");
  EXPECT_EQ(le_arquivo(arquivo), ACENTOS);
  EXPECT_EQ(console(), std::string(OLPA_CONSOLE_INICIAL) + "[olpa] arquivo salvo.\n");
  EXPECT_FALSE(olpa_codigo_modificado());
  poe("// outra coisa\n");
  clica(olpa_bt_abrir, {abrir(arquivo)});
  EXPECT_EQ(editor(), ACENTOS);
  gtk_source_buffer_undo(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer)); // a load undoes in one step
  EXPECT_EQ(editor(), "// outra coisa\n");
  // A name typed without the extension is used as typed.
  clica(olpa_bt_salvar, {salvar(exemplos, "meuprojeto.olp", em_exemplos("sem_extensao"))});
  EXPECT_EQ(le_arquivo(em_exemplos("sem_extensao")), "// outra coisa\n");
  // An empty editor makes an empty file, which does not load.
  poe("");
  clica(olpa_bt_salvar, {salvar(exemplos, "sem_extensao", arquivo), substituir(true)});
  EXPECT_EQ(le_arquivo(arquivo), "");
  poe("// meu programa\n");
  clica(olpa_bt_abrir, {abrir(arquivo), INVALIDO});
  EXPECT_EQ(editor(), "// meu programa\n");
}

TEST_F(Janela, ArquivosQueNaoSaoProgramasSaoRecusados) {
  const std::string nulo = em_exemplos("nulo.olp"), grande = em_exemplos("grande.olp");
  escreve_arquivo(nulo, std::string("int x;\0int y;\n", 14));
  escreve_arquivo(grande, std::string(PARSER_LIMITE_CODIGO + 1, 'a'));
  escreve_arquivo(em_exemplos("some.olp"), "int x;\n");
  poe("// meu programa\n");
  for (const std::string &arquivo : {nulo, grande})
    clica(olpa_bt_abrir, {abrir(arquivo), INVALIDO});
  clica(olpa_bt_abrir, {abrir(em_exemplos("some.olp"), true), INVALIDO});
  // A pipe must not block the load; a folder is no program either.
  ASSERT_EQ(mkfifo(em_exemplos("cano.olp").c_str(), 0644), 0);
  g_mkdir(em_exemplos("pasta.olp").c_str(), 0755);
  respostas.assign(2, INVALIDO);
  const guint fonte = g_timeout_add(20, tique, nullptr);
  for (const char *nome : {"cano.olp", "pasta.olp"}) {
    olpa_nome_arquivo = em_exemplos(nome);
    EXPECT_EQ(olpa_carrega_codigo(), 0);
  }
  g_source_remove(fonte);
  EXPECT_EQ(editor(), "// meu programa\n");
  EXPECT_EQ(olpa_arquivo_temnome, 0);
  // The runner's limit fits (short lines: a long line takes GTK seconds to
  // lay out); one byte more cannot be saved over it, so what is saved opens.
  std::string cabe;
  while (cabe.size() + 80 <= PARSER_LIMITE_CODIGO)
    cabe += "//" + std::string(77, 'x') + "\n";
  cabe += std::string(PARSER_LIMITE_CODIGO - cabe.size() - 1, 'x') + "\n";
  escreve_arquivo(grande, cabe);
  clica(olpa_bt_abrir, {abrir(grande)});
  EXPECT_EQ(editor(), cabe);
  poe(cabe + "x");
  clica(olpa_bt_salvar, {salvar(exemplos, "grande.olp"), substituir(true),
                         aviso("O programa tem mais de 1 MiB e não poderia ser aberto de novo; o "
                               "arquivo \"" +
                               grande + "\" não foi salvo.")});
  EXPECT_EQ(le_arquivo(grande), cabe);
  // Salvar never turns a pipe or a device into a code file.
  poe("int x;\n");
  for (const std::string &nome : {em_exemplos("cano.olp"), std::string("/dev/null")}) {
    olpa_nome_arquivo = nome;
    respostas.assign(
        1, aviso("Não foi possível salvar o arquivo \"" + nome + "\": não é um arquivo comum."));
    const guint vigia = g_timeout_add(20, tique, nullptr);
    EXPECT_FALSE(olpa_salvar_codigo());
    g_source_remove(vigia);
  }
  GStatBuf info;
  EXPECT_TRUE(g_stat(em_exemplos("cano.olp").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(g_stat("/dev/null", &info) == 0 && S_ISCHR(info.st_mode));
  // Old Mac editors end lines with a lone CR: errors must not all land on line 1.
  escreve_arquivo(nulo, "int a;\rint b;\r\nint c;\r");
  clica(olpa_bt_abrir, {abrir(nulo)});
  EXPECT_EQ(editor(), "int a;\nint b;\r\nint c;\n");
  // Text from an old Windows editor is converted.
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
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_FALSE(existe("../telas/imagem.png"));
  clica(olpa_bt_executar); // saves automatically again
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

TEST_F(Janela, SalvarOfereceOArquivoConhecido) {
  const std::string pasta = exemplos + "_fora", arquivo = pasta + "/de_fora.olp";
  g_mkdir(pasta.c_str(), 0755);
  escreve_arquivo(arquivo, "int a;\n");
  clica(olpa_bt_abrir, {abrir(arquivo)});
  clica(olpa_bt_salvar, {salvar(pasta, "de_fora.olp", "", GTK_RESPONSE_CANCEL)});
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_NO)});
  clica(olpa_bt_salvar, {salvar(pasta, "de_fora.olp", "", GTK_RESPONSE_DELETE_EVENT)});
  // Refusing to replace keeps the dialog; cancelling it then writes nothing.
  poe("int b;\n");
  clica(olpa_bt_salvar,
        {salvar(pasta, "de_fora.olp"), substituir(false), responde(GTK_RESPONSE_CANCEL)});
  EXPECT_EQ(le_arquivo(arquivo) + console(), "int a;\n" + std::string(OLPA_CONSOLE_INICIAL));
  g_remove(arquivo.c_str()); // a known file that has gone is still offered by name
  clica(olpa_bt_salvar, {salvar(pasta, "de_fora.olp")});
  EXPECT_EQ(le_arquivo(arquivo), "int b;\n");
  clica(olpa_bt_abrir, {responde(GTK_RESPONSE_CANCEL)}); // still in exemplos/, checked by abrir
  EXPECT_EQ(editor(), "int b;\n");
  // "Limpar" and "Novo" forget the name.
  clica(olpa_bt_limpar);
  clica(olpa_bt_salvar, {salvar_novo()});
  clica(olpa_bt_abrir, {abrir(arquivo)});
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  clica(olpa_bt_salvar, {salvar_novo()});
}

TEST_F(Janela, SalvarSemPoderGravarPreservaOArquivo) {
  // So long a name leaves no room for the temporary file written first.
  const std::string arquivo = em_exemplos(std::string(246, 'n') + ".olp");
  FILE *f = fopen(arquivo.c_str(), "w");
  fputs("// antiga\n", f);
  fclose(f);
  poe("// nova\n");
  clica(olpa_bt_salvar,
        {salvar(exemplos, "meuprojeto.olp", arquivo), substituir(true),
         aviso("Não foi possível salvar o arquivo \"" + arquivo + "\": o nome é longo demais.")});
  EXPECT_EQ(le_arquivo(arquivo) + console(), "// antiga\n" + std::string(OLPA_CONSOLE_INICIAL));
  EXPECT_TRUE(olpa_codigo_modificado());
  // Through a link: into the file it points at, keeping link and permissions.
  const std::string real = em_exemplos("real.olp"), atalho = em_exemplos("atalho.olp");
  escreve_arquivo(real, "int r;\n");
  g_chmod(real.c_str(), 0640);
  ASSERT_EQ(symlink("real.olp", atalho.c_str()), 0);
  clica(olpa_bt_abrir, {abrir(atalho)});
  poe("int s;\n");
  clica(olpa_bt_salvar, {salvar(exemplos, "atalho.olp"), substituir(true)});
  GStatBuf info;
  EXPECT_TRUE(g_file_test(atalho.c_str(), G_FILE_TEST_IS_SYMLINK));
  EXPECT_TRUE(g_stat(real.c_str(), &info) == 0 && (info.st_mode & 0777) == 0640);
  EXPECT_EQ(le_arquivo(real), "int s;\n");
}

// Closes the window from inside the main loop, answering `lista`; true
// when that ended the loop (within 3 s).
bool fecha(std::vector<Resposta> lista) {
  static bool saiu;
  saiu = true;
  respostas.assign(lista.begin(), lista.end());
  const guint fonte = g_timeout_add(20, tique, nullptr);
  g_idle_add([](gpointer) { return gtk_window_close(GTK_WINDOW(olpa_janela)), G_SOURCE_REMOVE; },
             nullptr);
  const guint limite = g_timeout_add(
      3000, [](gpointer) { return saiu = false, gtk_main_quit(), G_SOURCE_REMOVE; }, nullptr);
  gtk_main();
  if (saiu)
    g_source_remove(limite);
  g_source_remove(fonte);
  EXPECT_TRUE(respostas.empty());
  return saiu;
}

// Closing asks only when there are unsaved changes; "no" keeps everything.
TEST_F(Janela, FecharComAlteracoesPergunta) {
  EXPECT_TRUE(fecha({}));
  poe("int mudado;\n");
  GtkWidget *fechar = gtk_button_new(); // as the window's close box
  g_signal_connect_swapped(fechar, "clicked", G_CALLBACK(gtk_window_close), olpa_janela);
  const std::string sair = "Deseja sair sem salvar as alterações?";
  clica(fechar, {mensagem("Confirmação", sair, GTK_RESPONSE_NO)});
  EXPECT_TRUE(gtk_widget_get_visible(olpa_janela));
  EXPECT_EQ(editor(), "int mudado;\n");
  EXPECT_TRUE(fecha({mensagem("Confirmação", sair, GTK_RESPONSE_YES)}));
}

// The real program: closed, it exits with the compiler probe's status.
TEST(Programa, FecharSaiComOStatusDaSonda) {
  const std::string procura =
      "xdotool search --sync --all --pid %d --name '^" + std::string(OLPA_TITULO) + "$'";
  const char *argv[] = {OLPA_BIN_DIR "/olpa", nullptr};
  GPid pid;
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD,
                            nullptr, nullptr, &pid, nullptr));
  gchar *janela = nullptr;
  ASSERT_TRUE(g_spawn_command_line_sync(
      ("timeout 20 " + std::string(OlpaTexto(g_strdup_printf(procura.c_str(), pid)).get())).c_str(),
      &janela, nullptr, nullptr, nullptr));
  OlpaTexto dono(janela);
  Display *d = gdk_x11_get_default_xdisplay();
  XEvent e{};
  e.xclient = {ClientMessage,
               0,
               False,
               d,
               strtoul(janela, nullptr, 10),
               XInternAtom(d, "WM_PROTOCOLS", False),
               32,
               {}};
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  g_usleep(300 * 1000);
  XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XFlush(d);
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) != pid; i++)
    g_usleep(50 * 1000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

} // namespace

int main(int argc, char **argv) {
  RaizTemporaria raiz;
  exemplos = raiz.raiz + "/exemplos";
  // GTK's recent files and settings stay out of the user's home.
  setenv("XDG_DATA_HOME", raiz.raiz.c_str(), 1);
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
  return r;
}
