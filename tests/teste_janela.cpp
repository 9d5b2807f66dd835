// The window under a virtual display: its layout, texts, console looks as
// actually drawn, and Rodar, Limpar and Novo.
#include <gtest/gtest.h> // before X11's headers, whose macros clash with it

#include "apoio.h"
#include "apoio_gui.h"
#include "olpa.h"
#include "olpaparser.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <string>

namespace {

std::string texto(GtkTextBuffer *buffer) {
  return texto_do_buffer(buffer);
}

void define_codigo(const std::string &codigo) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, codigo.c_str(), -1);
}

void roda(const std::string &codigo) {
  define_codigo(codigo);
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
  processa_eventos();
}

// Position of a widget inside the fixed layout.
GdkRectangle posicao(GtkWidget *w) {
  GdkRectangle r{};
  gtk_widget_translate_coordinates(w, olpa_layout, 0, 0, &r.x, &r.y);
  r.width = gtk_widget_get_allocated_width(w);
  r.height = gtk_widget_get_allocated_height(w);
  return r;
}

// What the screen shows at a point of the window (0xRRGGBB).
uint32_t cor_na_tela(GtkWidget *w, int x, int y) {
  processa_eventos();
  int wx = 0, wy = 0;
  gtk_widget_translate_coordinates(w, olpa_janela, x, y, &wx, &wy);
  GdkPixbuf *p = gdk_pixbuf_get_from_window(gtk_widget_get_window(olpa_janela), wx, wy, 1, 1);
  if (!p)
    return 0xdeadbeef;
  const guchar *d = gdk_pixbuf_get_pixels(p);
  const uint32_t cor = (d[0] << 16) | (d[1] << 8) | d[2];
  g_object_unref(p);
  return cor;
}

// Pixels of a rectangle of a widget that are (nearly) white.
int brancos_na_tela(GtkWidget *w, int x, int y, int largura, int altura) {
  processa_eventos();
  int wx = 0, wy = 0;
  gtk_widget_translate_coordinates(w, olpa_janela, x, y, &wx, &wy);
  GdkPixbuf *p =
      gdk_pixbuf_get_from_window(gtk_widget_get_window(olpa_janela), wx, wy, largura, altura);
  int n = 0;
  const int canais = gdk_pixbuf_get_n_channels(p), stride = gdk_pixbuf_get_rowstride(p);
  const guchar *d = gdk_pixbuf_get_pixels(p);
  for (int j = 0; j < altura; j++)
    for (int i = 0; i < largura; i++) {
      const guchar *q = d + j * stride + i * canais;
      n += q[0] > 200 && q[1] > 200 && q[2] > 200;
    }
  g_object_unref(p);
  return n;
}

// Whether the image view shows exactly the picture in `arquivo`.
bool mostra(const std::string &arquivo) {
  GdkPixbuf *mostrado = gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem));
  GdkPixbuf *esperado = gdk_pixbuf_new_from_file(arquivo.c_str(), nullptr);
  if (!mostrado || !esperado) {
    if (esperado)
      g_object_unref(esperado);
    return false;
  }
  bool igual = gdk_pixbuf_get_width(mostrado) == gdk_pixbuf_get_width(esperado) &&
               gdk_pixbuf_get_height(mostrado) == gdk_pixbuf_get_height(esperado) &&
               gdk_pixbuf_get_n_channels(mostrado) == gdk_pixbuf_get_n_channels(esperado);
  const int canais = gdk_pixbuf_get_n_channels(esperado);
  for (int y = 0; igual && y < gdk_pixbuf_get_height(esperado); y++)
    igual = memcmp(gdk_pixbuf_get_pixels(mostrado) + y * gdk_pixbuf_get_rowstride(mostrado),
                   gdk_pixbuf_get_pixels(esperado) + y * gdk_pixbuf_get_rowstride(esperado),
                   static_cast<size_t>(gdk_pixbuf_get_width(esperado) * canais)) == 0;
  g_object_unref(esperado);
  return igual;
}

// Answers the next message dialog with `resposta`, after checking its text.
void responde_pergunta(GtkResponseType resposta, std::string *titulo, std::string *texto_dialogo) {
  struct Dados {
    GtkResponseType resposta;
    std::string *titulo, *texto;
  };
  g_timeout_add(
      50,
      [](gpointer p) -> gboolean {
        auto *d = static_cast<Dados *>(p);
        GtkWidget *dialogo = janela_visivel(GTK_TYPE_MESSAGE_DIALOG);
        if (!dialogo)
          return G_SOURCE_CONTINUE;
        *d->titulo = gtk_window_get_title(GTK_WINDOW(dialogo));
        char *t = nullptr;
        g_object_get(dialogo, "text", &t, nullptr);
        *d->texto = t ? t : "";
        g_free(t);
        gtk_dialog_response(GTK_DIALOG(dialogo), d->resposta);
        delete d;
        return G_SOURCE_REMOVE;
      },
      new Dados{resposta, titulo, texto_dialogo});
}

class Janela : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    raiz = new RaizTemporaria();
    olpa_UI(1020, 500, OLPA_TITULO);
    processa_eventos();
  }
  static void TearDownTestSuite() {
    parser_encerra();
    delete raiz;
    raiz = nullptr;
  }
  void SetUp() override {
    olpa_limpa_codigo_e_console();
    processa_eventos();
  }
  static RaizTemporaria *raiz;
  const std::string init = "olpalib/init.png";
};
RaizTemporaria *Janela::raiz;

TEST_F(Janela, TituloTamanhoEPosicoes) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(olpa_janela)), "olpa v0.51");
  int largura = 0, altura = 0;
  gtk_window_get_size(GTK_WINDOW(olpa_janela), &largura, &altura);
  EXPECT_EQ(largura, 1020);
  EXPECT_EQ(altura, 500);
  EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(olpa_janela)), 10u);
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(olpa_janela)));

  struct Esperado {
    GtkWidget *w;
    int x, y, largura, altura;
  };
  const Esperado widgets[] = {
      {olpa_botoes, 0, 0, 340, 30},
      {olpa_bt_novo, 0, 0, 64, 30},
      {olpa_bt_abrir, 69, 0, 64, 30},
      {olpa_bt_salvar, 138, 0, 64, 30},
      {olpa_bt_executar, 207, 0, 64, 30},
      {olpa_bt_limpar, 276, 0, 64, 30},
      {olpa_campo_codigo_container, 0, 50, 340, 320},
      {olpa_campo_console_container, 0, 380, 340, 100},
      {olpa_imagem, 360, 0, 640, 480},
  };
  for (const Esperado &e : widgets) {
    const GdkRectangle r = posicao(e.w);
    EXPECT_EQ(r.x, e.x) << gtk_widget_get_name(e.w);
    EXPECT_EQ(r.y, e.y) << gtk_widget_get_name(e.w);
    EXPECT_EQ(r.width, e.largura) << gtk_widget_get_name(e.w);
    EXPECT_EQ(r.height, e.altura) << gtk_widget_get_name(e.w);
  }
}

TEST_F(Janela, BotoesNaOrdemComSeusRotulos) {
  GList *filhos = gtk_container_get_children(GTK_CONTAINER(olpa_botoes));
  const char *rotulos[] = {"Novo", "Abrir", "Salvar", "Rodar", "Limpar"};
  int i = 0;
  for (GList *l = filhos; l; l = l->next, i++) {
    ASSERT_LT(i, 5);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(l->data)), rotulos[i]);
  }
  EXPECT_EQ(i, 5);
  g_list_free(filhos);
}

TEST_F(Janela, EditorEConsoleComoComecam) {
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), "// bem-vindo ao olpa, digite seu codigo\n\n");
  EXPECT_EQ(texto(olpa_campo_console_buffer), "## console do olpa: aguardando dados ##\n");
  GtkSourceView *editor = GTK_SOURCE_VIEW(olpa_campo_codigo_formatado);
  EXPECT_TRUE(gtk_source_view_get_show_line_numbers(editor));
  EXPECT_TRUE(gtk_source_view_get_show_line_marks(editor));
  EXPECT_TRUE(gtk_source_view_get_show_right_margin(editor));
  EXPECT_EQ(gtk_source_view_get_right_margin_position(editor), 80u);
  EXPECT_EQ(gtk_source_view_get_indent_width(editor), 2);
  EXPECT_TRUE(gtk_source_view_get_auto_indent(editor));
  EXPECT_EQ(gtk_text_view_get_wrap_mode(GTK_TEXT_VIEW(editor)), GTK_WRAP_WORD_CHAR);
  GtkSourceLanguage *c =
      gtk_source_buffer_get_language(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer));
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(gtk_source_language_get_id(c), "c");
  EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(olpa_campo_console)));
  EXPECT_TRUE(mostra(init));
  EXPECT_STREQ(olpa_arquivo_exportar, "../telas/imagem.png");
  EXPECT_EQ(olpa_arquivo_gravamanual, 0);
  EXPECT_EQ(olpa_arquivo_temnome, 0);
}

TEST_F(Janela, ConsoleBrancoNoPretoEVermelhoNoErro) {
  // A point below the one line of text shows the background.
  EXPECT_EQ(cor_na_tela(olpa_campo_console, 300, 80), 0x000000u);
  EXPECT_GT(brancos_na_tela(olpa_campo_console, 0, 0, 330, 20), 20);
  olpa_console_erro();
  EXPECT_EQ(cor_na_tela(olpa_campo_console, 300, 80), 0xff0000u);
  EXPECT_GT(brancos_na_tela(olpa_campo_console, 0, 0, 330, 20), 20);
  EXPECT_TRUE(mostra(init));
  olpa_console_normal();
  EXPECT_EQ(cor_na_tela(olpa_campo_console, 300, 80), 0x000000u);
}

TEST_F(Janela, RodarComSucessoMostraAFigura) {
  roda("int main(void) {\n"
       "  inicia();\n"
       "  cor(255, 0, 0);\n"
       "  traco(4);\n"
       "  linha(0, 0, 640, 480);\n"
       "  escreve_console(\"oi\\n\");\n"
       "  termina();\n"
       "  return 0;\n"
       "}\n");
  EXPECT_EQ(texto(olpa_campo_console_buffer), "[olpa] compilando\noi\n[olpa] sucesso!\n");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  EXPECT_EQ(cor_na_tela(olpa_imagem, 320, 240), 0xff0000u);
  EXPECT_EQ(cor_na_tela(olpa_imagem, 320, 100), 0x000000u);
  EXPECT_EQ(cor_na_tela(olpa_campo_console, 300, 80), 0x000000u);
}

TEST_F(Janela, ErroDeCompilacaoFicaVermelhoComAFiguraInicial) {
  roda("int main(void) { inicia(); termina(); return 0; }");
  ASSERT_TRUE(mostra("../telas/imagem.png"));
  roda("int main(void) {\n  inicia();\n  int x = y;\n}\n");
  EXPECT_EQ(texto(olpa_campo_console_buffer),
            "[olpa] compilando\n[erro] linha 3: 'y' não foi declarado (faltou declarar a "
            "variável ou a função?)\n");
  EXPECT_TRUE(olpa_console_em_erro());
  EXPECT_EQ(cor_na_tela(olpa_campo_console, 300, 80), 0xff0000u);
  EXPECT_TRUE(mostra(init));
  EXPECT_EQ(olpa_linhas_marcadas(), 1);
  // The next run goes back to the normal look and clears the mark.
  roda("int main(void) { return 0; }");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_EQ(olpa_linhas_marcadas(), 0);
  EXPECT_EQ(texto(olpa_campo_console_buffer), "[olpa] compilando\n[olpa] sucesso!\n");
}

TEST_F(Janela, ErroDeLigacaoESemMain) {
  roda("int main(void) { retangulo(0, 0, 10, 10); return 0; }");
  EXPECT_EQ(texto(olpa_campo_console_buffer),
            "[olpa] compilando\n[erro] linha 1: 'retangulo' não existe: nenhuma função ou "
            "variável tem esse nome\n");
  EXPECT_TRUE(olpa_console_em_erro());
  EXPECT_TRUE(mostra(init));
  roda("int quadrado(int x) { return x * x; }\n");
  EXPECT_EQ(texto(olpa_campo_console_buffer), "[olpa] compilando\n[olpa] sucesso!\n");
  EXPECT_FALSE(olpa_console_em_erro());
}

TEST_F(Janela, CadaFalhaDeixaAJanelaVivaEAProximaFunciona) {
  parser_define_tempo_limite(0.5);
  const char *falhas[] = {
      "int main(void) { inicia(); int *p = 0; *p = 1; return 0; }",
      "int main(void) { inicia(); for (;;) {} }",
      "int f(int n) { return f(n + 1) + 1; } int main(void) { return f(0); }",
      "int main(void) { int z = 0; return 1 / z; }",
      // Programs that go for the window itself.
      "int getppid(void); int kill(int, int); int main(void) { kill(getppid(), 9); return 0; }",
      "int getppid(void); int kill(int, int); int main(void) { kill(getppid(), 19); return 0; }",
      "int write(int, const char *, int); int main(void) { for (int fd = 3; fd < 9; fd++) "
      "write(fd, \"F\\nX\\n\", 4); int *p = 0; *p = 1; return 0; }",
  };
  for (const char *falha : falhas) {
    SCOPED_TRACE(falha);
    roda("int main(void) { inicia(); cor(0, 255, 0); linha(0, 240, 640, 240); termina(); }");
    ASSERT_TRUE(mostra("../telas/imagem.png"));
    roda(falha);
    const std::string console = texto(olpa_campo_console_buffer);
    EXPECT_EQ(console.rfind("[olpa] compilando\n[erro] o programa ", 0), 0u) << console;
    EXPECT_TRUE(olpa_console_em_erro());
    EXPECT_TRUE(mostra(init));
    EXPECT_EQ(texto(olpa_campo_codigo_buffer), falha);
    roda("int main(void) { inicia(); cor(0, 0, 255); linha(0, 240, 640, 240); termina(); }");
    EXPECT_EQ(texto(olpa_campo_console_buffer), "[olpa] compilando\n[olpa] sucesso!\n");
    EXPECT_EQ(cor_na_tela(olpa_imagem, 320, 240), 0x0000ffu);
  }
  parser_define_tempo_limite(10);
}

// What is at a picture path is never trusted: a pipe must not hang the
// window, a picture of another size is not decoded.
TEST_F(Janela, FiguraEstranhaNoCaminhoNaoTravaNemEDecodificada) {
  ASSERT_EQ(mkfifo("../telas/imagem.png", 0644), 0);
  roda("int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(olpa_console_em_erro());
  for (GtkWidget *botao : {olpa_bt_limpar, olpa_bt_executar, olpa_bt_limpar}) {
    gtk_button_clicked(GTK_BUTTON(botao));
    processa_eventos();
  }
  EXPECT_TRUE(mostra(init));
  olpa_limpa_codigo_e_console(); // what "Novo" and a loaded file do after their dialogs
  struct stat info;
  ASSERT_EQ(stat("../telas/imagem.png", &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode)); // only regular files are removed
  remove("../telas/imagem.png");

  OlpaSurface outra(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 641, 480));
  ASSERT_EQ(cairo_surface_write_to_png(outra.get(), "../telas/grande.png"), CAIRO_STATUS_SUCCESS);
  roda("int main(void) { inicia_arquivo(\"grande.png\"); termina(); }");
  EXPECT_EQ(texto(olpa_campo_console_buffer), "[olpa] compilando\n[olpa] sucesso!\n");
  EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)), GTK_IMAGE_ICON_NAME);
  remove("../telas/grande.png");
}

TEST_F(Janela, LimparVoltaAoComecoEApagaAFigura) {
  roda("int main(void) { inicia(); grava_tela(\"outra.png\"); linha(0, 0, 9, 9); termina(); "
       "escreve_console(\"x\"); }");
  roda("int main(void) { inicia(); termina(); }");
  ASSERT_TRUE(existe("../telas/outra.png"));
  escreve_arquivo("../telas/imagem.png", le_arquivo("../telas/outra.png"));
  gtk_button_clicked(GTK_BUTTON(olpa_bt_limpar));
  processa_eventos();
  EXPECT_EQ(texto(olpa_campo_console_buffer), "## console do olpa: aguardando dados ##\n");
  EXPECT_TRUE(mostra(init));
  EXPECT_FALSE(existe("../telas/imagem.png"));
  EXPECT_TRUE(existe("../telas/outra.png"));
  EXPECT_STREQ(olpa_arquivo_exportar, "../telas/imagem.png");
  EXPECT_EQ(olpa_arquivo_gravamanual, 0);
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), "int main(void) { inicia(); termina(); }");
}

TEST_F(Janela, NovoPerguntaAntes) {
  define_codigo("int main(void) { return 0; }");
  roda("int main(void) { return 0; }");
  std::string titulo, pergunta;
  responde_pergunta(GTK_RESPONSE_NO, &titulo, &pergunta);
  gtk_button_clicked(GTK_BUTTON(olpa_bt_novo));
  processa_eventos();
  EXPECT_EQ(titulo, "Confirmação");
  EXPECT_EQ(pergunta, "Deseja abandonar todas as alterações?");
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), "int main(void) { return 0; }");
  EXPECT_EQ(texto(olpa_campo_console_buffer), "[olpa] compilando\n[olpa] sucesso!\n");

  responde_pergunta(GTK_RESPONSE_DELETE_EVENT, &titulo, &pergunta);
  gtk_button_clicked(GTK_BUTTON(olpa_bt_novo));
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), "int main(void) { return 0; }");

  responde_pergunta(GTK_RESPONSE_YES, &titulo, &pergunta);
  gtk_button_clicked(GTK_BUTTON(olpa_bt_novo));
  processa_eventos();
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), "// bem-vindo ao olpa, digite seu codigo\n\n");
  EXPECT_EQ(texto(olpa_campo_console_buffer), "## console do olpa: aguardando dados ##\n");
  EXPECT_TRUE(mostra(init));
}

// ---------------------------------------------------------------- the real program

long pid_da_janela(Display *d, Window w) {
  Atom tipo;
  int formato;
  unsigned long n = 0, resta = 0;
  unsigned char *dados = nullptr;
  long pid = -1;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                         &tipo, &formato, &n, &resta, &dados) == Success &&
      dados && n == 1)
    pid = *reinterpret_cast<long *>(dados);
  if (dados)
    XFree(dados);
  return pid;
}

// The window of process `pid` titled `titulo` (this test process has one too).
Window procura_janela(Display *d, Window w, const char *titulo, long pid) {
  char *nome = nullptr;
  if (XFetchName(d, w, &nome) && nome) {
    const bool achou = strcmp(nome, titulo) == 0 && pid_da_janela(d, w) == pid;
    XFree(nome);
    if (achou)
      return w;
  }
  Window raiz_x, pai, *filhos = nullptr;
  unsigned n = 0;
  Window achada = 0;
  if (XQueryTree(d, w, &raiz_x, &pai, &filhos, &n)) {
    for (unsigned i = 0; i < n && !achada; i++)
      achada = procura_janela(d, filhos[i], titulo, pid);
    if (filhos)
      XFree(filhos);
  }
  return achada;
}

// Asks a window to close, as a window manager's close button does.
void pede_para_fechar(Display *d, Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

TEST(Programa, FecharSaiComOStatusDaSonda) {
  RaizTemporaria raiz;
  const std::string olpa = std::string(OLPA_BIN_DIR) + "/olpa";
  const char *argv[] = {olpa.c_str(), nullptr};
  GPid pid;
  ASSERT_TRUE(g_spawn_async(raiz.bin.c_str(), const_cast<gchar **>(argv), nullptr,
                            G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid, nullptr));
  Display *d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  Window w = 0;
  for (int i = 0; i < 200 && !w; i++) {
    g_usleep(50 * 1000);
    w = procura_janela(d, DefaultRootWindow(d), "olpa v0.51", pid);
  }
  ASSERT_NE(w, 0u);
  g_usleep(300 * 1000);
  pede_para_fechar(d, w);
  int status = -1;
  for (int i = 0; i < 200; i++) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      break;
    g_usleep(50 * 1000);
  }
  XCloseDisplay(d);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

} // namespace

int main(int argc, char **argv) {
  gtk_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
