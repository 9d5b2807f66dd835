// Keyboard shortcuts of the window: a key does what a click on its button
// does, and each button's tooltip tells its key. Also the window's icon.
#include <gtest/gtest.h>

#include "apoio.h"
#include "apoio_gui.h"
#include "olpa.h"
#include "olpagfx.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string texto(GtkTextBuffer *buffer) {
  return texto_do_buffer(buffer);
}

// A key press as the keyboard would deliver it to the window.
void aperta(guint tecla, GdkModifierType modificadores) {
  GdkDisplay *tela = gdk_display_get_default();
  GdkEvent *evento = gdk_event_new(GDK_KEY_PRESS);
  evento->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(olpa_janela)));
  evento->key.send_event = TRUE;
  evento->key.time = GDK_CURRENT_TIME;
  evento->key.keyval = tecla;
  evento->key.state = modificadores;
  GdkKeymapKey *chaves = nullptr;
  gint n = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(tela), tecla, &chaves, &n) &&
      n > 0) {
    evento->key.hardware_keycode = static_cast<guint16>(chaves[0].keycode);
    evento->key.group = static_cast<guint8>(chaves[0].group);
  }
  g_free(chaves);
  gdk_event_set_device(evento, gdk_seat_get_keyboard(gdk_display_get_default_seat(tela)));
  gtk_widget_event(olpa_janela, evento);
  gdk_event_free(evento);
  processa_eventos();
}

// Whether the image view shows exactly the picture in `arquivo`.
bool mostra(const std::string &arquivo) {
  GdkPixbuf *mostrado = gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem));
  GdkPixbuf *esperado = gdk_pixbuf_new_from_file(arquivo.c_str(), nullptr);
  bool igual = mostrado && esperado &&
               gdk_pixbuf_get_width(mostrado) == gdk_pixbuf_get_width(esperado) &&
               gdk_pixbuf_get_height(mostrado) == gdk_pixbuf_get_height(esperado) &&
               gdk_pixbuf_get_n_channels(mostrado) == gdk_pixbuf_get_n_channels(esperado);
  for (int y = 0; igual && y < gdk_pixbuf_get_height(esperado); y++)
    igual = memcmp(gdk_pixbuf_get_pixels(mostrado) + y * gdk_pixbuf_get_rowstride(mostrado),
                   gdk_pixbuf_get_pixels(esperado) + y * gdk_pixbuf_get_rowstride(esperado),
                   static_cast<size_t>(gdk_pixbuf_get_width(esperado) *
                                       gdk_pixbuf_get_n_channels(esperado))) == 0;
  if (esperado)
    g_object_unref(esperado);
  return igual;
}

// What the next dialog of type `tipo` looked like when it was answered.
struct Dialogo {
  bool visto = false;
  std::string titulo, texto;
  int acao = -1; // file choosers: GtkFileChooserAction
};

// Answers the next visible dialog of type `tipo` with `resposta`, from the
// main loop the dialog runs.
void responde(GType tipo, GtkResponseType resposta, Dialogo *visto) {
  struct Dados {
    GType tipo;
    GtkResponseType resposta;
    Dialogo *visto;
    int tentativas;
  };
  g_timeout_add(
      50,
      [](gpointer p) -> gboolean {
        auto *d = static_cast<Dados *>(p);
        GtkWidget *dialogo = janela_visivel(d->tipo);
        if (!dialogo)
          return ++d->tentativas < 100 ? G_SOURCE_CONTINUE : (delete d, G_SOURCE_REMOVE);
        d->visto->visto = true;
        const char *titulo = gtk_window_get_title(GTK_WINDOW(dialogo));
        d->visto->titulo = titulo ? titulo : "";
        if (GTK_IS_MESSAGE_DIALOG(dialogo)) {
          char *t = nullptr;
          g_object_get(dialogo, "text", &t, nullptr);
          d->visto->texto = t ? t : "";
          g_free(t);
        }
        if (GTK_IS_FILE_CHOOSER(dialogo))
          d->visto->acao = gtk_file_chooser_get_action(GTK_FILE_CHOOSER(dialogo));
        gtk_dialog_response(GTK_DIALOG(dialogo), d->resposta);
        delete d;
        return G_SOURCE_REMOVE;
      },
      new Dados{tipo, resposta, visto, 0});
}

const char PROGRAMA[] = "int main(void) {\n"
                        "  inicia();\n"
                        "  escreve_console(\"oi\\n\");\n"
                        "  cor(255, 0, 0);\n"
                        "  linha(0, 0, 640, 480);\n"
                        "  termina();\n"
                        "  return 0;\n"
                        "}\n";
const int TAMANHOS_DO_ICONE[] = {16, 24, 32, 48, 64};
const char COM_ERRO[] = "int main(void) {\n  int x = y;\n}\n";

class Atalhos : public ::testing::Test {
protected:
  static RaizTemporaria *raiz;
  static void SetUpTestSuite() {
    raiz = new RaizTemporaria;
    // The icons the build drew, where the window looks for them.
    g_mkdir_with_parents("olpalib/icones", 0755);
    for (const int n : TAMANHOS_DO_ICONE) {
      const std::string nome = "/olpalib/icones/olpa-" + std::to_string(n) + ".png";
      escreve_arquivo("." + nome, le_arquivo(std::string(OLPA_BIN_DIR) + nome));
    }
    olpa_UI(1020, 500, OLPA_TITULO);
    processa_eventos();
  }
  static void TearDownTestSuite() {
    gtk_widget_destroy(olpa_janela);
    processa_eventos();
    delete raiz;
  }
  void SetUp() override {
    olpa_limpa_codigo_e_console();
    processa_eventos();
  }
  static void codigo(const char *texto) {
    gtk_text_buffer_set_text(olpa_campo_codigo_buffer, texto, -1);
  }
  // Console text and looks after one way of running, from a cleared screen.
  struct Resultado {
    std::string console;
    bool erro;
    bool mostra_a_figura;
    bool mostra_a_inicial;
  };
  template <typename Acao> static Resultado roda(const char *programa, Acao acao) {
    olpa_limpa_tela_e_console(nullptr, nullptr);
    codigo(programa);
    processa_eventos();
    acao();
    processa_eventos();
    return {texto(olpa_campo_console_buffer), olpa_console_em_erro(), mostra("../telas/imagem.png"),
            mostra(OLPA_IMAGEM_INICIAL)};
  }
};
RaizTemporaria *Atalhos::raiz = nullptr;

void clica_rodar() {
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
}
void f5() {
  aperta(GDK_KEY_F5, static_cast<GdkModifierType>(0));
}
void ctrl_r() {
  aperta(GDK_KEY_r, GDK_CONTROL_MASK);
}

TEST_F(Atalhos, F5ECtrlRRodamComoOBotao) {
  const Resultado clique = roda(PROGRAMA, clica_rodar);
  EXPECT_EQ(clique.console, "[olpa] compilando\noi\n[olpa] sucesso!\n");
  EXPECT_FALSE(clique.erro);
  EXPECT_TRUE(clique.mostra_a_figura);

  for (auto tecla : {f5, ctrl_r}) {
    const Resultado r = roda(PROGRAMA, tecla);
    EXPECT_EQ(r.console, clique.console);
    EXPECT_EQ(r.erro, clique.erro);
    EXPECT_TRUE(r.mostra_a_figura);
    EXPECT_FALSE(r.mostra_a_inicial);
  }
}

TEST_F(Atalhos, F5ECtrlRMostramOsErrosComoOBotao) {
  const Resultado clique = roda(COM_ERRO, clica_rodar);
  EXPECT_EQ(clique.console.rfind("[olpa] compilando\n[erro] linha 2: ", 0), 0u) << clique.console;
  EXPECT_TRUE(clique.erro);
  EXPECT_TRUE(clique.mostra_a_inicial);
  for (auto tecla : {f5, ctrl_r}) {
    const Resultado r = roda(COM_ERRO, tecla);
    EXPECT_EQ(r.console, clique.console);
    EXPECT_TRUE(r.erro);
    EXPECT_TRUE(r.mostra_a_inicial);
  }
}

TEST_F(Atalhos, SemCtrlAsLetrasNaoRodam) {
  const Resultado r = roda(PROGRAMA, [] { aperta(GDK_KEY_r, static_cast<GdkModifierType>(0)); });
  EXPECT_EQ(r.console, OLPA_CONSOLE_INICIAL);
}

TEST_F(Atalhos, CtrlNPerguntaAntesDeComecarDeNovo) {
  codigo(PROGRAMA);
  Dialogo nao;
  responde(GTK_TYPE_MESSAGE_DIALOG, GTK_RESPONSE_NO, &nao);
  aperta(GDK_KEY_n, GDK_CONTROL_MASK);
  ASSERT_TRUE(nao.visto);
  EXPECT_EQ(nao.titulo, "Confirmação");
  EXPECT_EQ(nao.texto, "Deseja abandonar todas as alterações?");
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), PROGRAMA);

  Dialogo sim;
  responde(GTK_TYPE_MESSAGE_DIALOG, GTK_RESPONSE_YES, &sim);
  aperta(GDK_KEY_n, GDK_CONTROL_MASK);
  ASSERT_TRUE(sim.visto);
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), OLPA_TEXTO_INICIAL);
  EXPECT_EQ(texto(olpa_campo_console_buffer), OLPA_CONSOLE_INICIAL);
}

TEST_F(Atalhos, CtrlOECtrlSAbremSeusDialogos) {
  codigo(PROGRAMA);
  Dialogo abrir;
  responde(GTK_TYPE_FILE_CHOOSER_DIALOG, GTK_RESPONSE_CANCEL, &abrir);
  aperta(GDK_KEY_o, GDK_CONTROL_MASK);
  ASSERT_TRUE(abrir.visto);
  EXPECT_EQ(abrir.acao, GTK_FILE_CHOOSER_ACTION_OPEN);

  Dialogo salvar;
  responde(GTK_TYPE_FILE_CHOOSER_DIALOG, GTK_RESPONSE_CANCEL, &salvar);
  aperta(GDK_KEY_s, GDK_CONTROL_MASK);
  ASSERT_TRUE(salvar.visto);
  EXPECT_EQ(salvar.acao, GTK_FILE_CHOOSER_ACTION_SAVE);
  EXPECT_EQ(texto(olpa_campo_codigo_buffer), PROGRAMA);
}

TEST_F(Atalhos, CadaBotaoDizSeuAtalho) {
  struct {
    GtkWidget *botao;
    const char *atalhos[2];
  } botoes[] = {{olpa_bt_novo, {"Ctrl+N", nullptr}},
                {olpa_bt_abrir, {"Ctrl+O", nullptr}},
                {olpa_bt_salvar, {"Ctrl+S", nullptr}},
                {olpa_bt_executar, {"F5", "Ctrl+R"}}};
  for (const auto &b : botoes) {
    char *dica = gtk_widget_get_tooltip_text(b.botao);
    ASSERT_NE(dica, nullptr) << gtk_button_get_label(GTK_BUTTON(b.botao));
    for (const char *atalho : b.atalhos) {
      if (!atalho)
        continue;
      EXPECT_NE(std::string(dica).find(atalho), std::string::npos)
          << gtk_button_get_label(GTK_BUTTON(b.botao)) << ": " << dica;
    }
    g_free(dica);
  }
}

TEST_F(Atalhos, AJanelaTemOIconeEmCincoTamanhos) {
  GList *icones = gtk_window_get_icon_list(GTK_WINDOW(olpa_janela));
  if (!icones)
    icones = gtk_window_get_default_icon_list();
  std::vector<int> tamanhos;
  for (GList *l = icones; l; l = l->next) {
    GdkPixbuf *icone = GDK_PIXBUF(l->data);
    EXPECT_EQ(gdk_pixbuf_get_width(icone), gdk_pixbuf_get_height(icone));
    tamanhos.push_back(gdk_pixbuf_get_width(icone));
  }
  g_list_free(icones);
  EXPECT_EQ(tamanhos, std::vector<int>(std::begin(TAMANHOS_DO_ICONE), std::end(TAMANHOS_DO_ICONE)));
}

} // namespace

int main(int argc, char **argv) {
  gtk_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
