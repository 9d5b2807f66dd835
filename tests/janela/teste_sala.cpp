// The window in a classroom: it grows and shrinks, zooms, colours and
// completes the learner functions, puts "}" back under its "{", keeps long
// lines from freezing it, opens its help with F1, saves and copies the
// picture from its right-click menu, and shows the examples' pictures in
// "Abrir" (XDG_CONFIG_HOME is a folder of the test's own: the zoom's file).
#include "janela.h"

#include "olpa_funcoes.h"
#include "olpa_layout.h"

#include <set>

namespace {

// Lets GTK work for `ms` milliseconds (timers included).
void espera(int ms) {
  const gint64 fim = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < fim) {
    while (gtk_events_pending())
      gtk_main_iteration();
    g_usleep(5 * 1000);
  }
}

void digita(const char *texto) {
  for (const char *c = texto; *c; c++)
    aperta(*c == '\n' ? GDK_KEY_Return : gdk_unicode_to_keyval(static_cast<guchar>(*c)));
}

// Every widget under `w`, depth first.
void percorre(GtkWidget *w, const std::function<void(GtkWidget *)> &f) {
  f(w);
  if (GTK_IS_CONTAINER(w)) {
    GList *filhos = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList *l = filhos; l; l = l->next)
      percorre(GTK_WIDGET(l->data), f);
    g_list_free(filhos);
  }
}

std::vector<std::string> rotulos(GtkWidget *w) {
  std::vector<std::string> r;
  percorre(w, [&r](GtkWidget *x) {
    if (GTK_IS_LABEL(x))
      r.push_back(gtk_label_get_text(GTK_LABEL(x)));
    else if (GTK_IS_BUTTON(x) && gtk_button_get_label(GTK_BUTTON(x)))
      r.push_back(gtk_button_get_label(GTK_BUTTON(x)));
  });
  return r;
}

GdkRectangle area(GtkWidget *w) {
  GdkRectangle r{};
  gtk_widget_translate_coordinates(w, olpa_layout, 0, 0, &r.x, &r.y);
  r.width = gtk_widget_get_allocated_width(w);
  r.height = gtk_widget_get_allocated_height(w);
  return r;
}

void redimensiona(int largura, int altura) {
  gtk_window_resize(GTK_WINDOW(olpa_janela), largura, altura);
  for (int i = 0; i < 100; i++) {
    processa();
    int l, a;
    gtk_window_get_size(GTK_WINDOW(olpa_janela), &l, &a);
    if (l == largura && a == altura)
      break;
  }
  espera(100);
}

// The editor's font size, in points.
double pontos_do_editor() {
  PangoContext *c = gtk_widget_get_pango_context(olpa_campo_codigo_formatado);
  const PangoFontDescription *f = pango_context_get_font_description(c);
  return pango_font_description_get_size(f) / static_cast<double>(PANGO_SCALE);
}

// The labels of the completion proposals on screen.
std::vector<std::string> propostas_na_tela() {
  std::vector<std::string> r;
  GList *janelas = gtk_window_list_toplevels();
  for (GList *l = janelas; l; l = l->next) {
    if (!gtk_widget_get_visible(GTK_WIDGET(l->data)))
      continue;
    percorre(GTK_WIDGET(l->data), [&r](GtkWidget *w) {
      if (!GTK_IS_TREE_VIEW(w))
        return;
      GtkTreeModel *m = gtk_tree_view_get_model(GTK_TREE_VIEW(w));
      for (int c = 0; m && c < gtk_tree_model_get_n_columns(m); c++) {
        if (!g_type_is_a(gtk_tree_model_get_column_type(m, c), G_TYPE_OBJECT))
          continue;
        GtkTreeIter i;
        for (bool ok = gtk_tree_model_get_iter_first(m, &i); ok;
             ok = gtk_tree_model_iter_next(m, &i)) {
          GObject *p = nullptr;
          gtk_tree_model_get(m, &i, c, &p, -1);
          if (p && GTK_SOURCE_IS_COMPLETION_PROPOSAL(p)) {
            OlpaTexto rotulo(
                gtk_source_completion_proposal_get_label(GTK_SOURCE_COMPLETION_PROPOSAL(p)));
            r.push_back(rotulo ? rotulo.get() : "");
          }
          if (p)
            g_object_unref(p);
        }
      }
    });
  }
  g_list_free(janelas);
  return r;
}

// Pixels that differ between two pictures (-1: not the same size).
long diferentes(GdkPixbuf *a, GdkPixbuf *b) {
  return a && b ? compara(de_pixbuf(a), de_pixbuf(b)) : -1;
}

// ------------------------------------------------------------ room to grow

TEST_F(Janela, AJanelaCresceEDiminui) {
  const GdkRectangle editor = area(olpa_campo_codigo_container);
  const GdkRectangle console = area(olpa_campo_console_container);
  ASSERT_EQ(editor.width, OLPA_COLUNA_LARGURA);
  redimensiona(1260, 760);
  const int largura = 1260 - 2 * OLPA_BORDA - OLPA_VAO_IMAGEM - OLPA_IMAGEM_LARGURA;
  EXPECT_EQ(area(olpa_campo_codigo_container).width, largura);
  EXPECT_EQ(area(olpa_campo_console_container).width, largura);
  EXPECT_EQ(area(olpa_campo_codigo_container).height, editor.height + 260);
  EXPECT_EQ(area(olpa_campo_console_container).height, console.height);
  // The picture keeps its size, at the right, at the top.
  const GdkRectangle imagem = area(olpa_imagem);
  EXPECT_EQ(imagem.x, largura + OLPA_VAO_IMAGEM);
  EXPECT_EQ(imagem.y, 0);
  EXPECT_EQ(imagem.width, OLPA_IMAGEM_LARGURA);
  EXPECT_EQ(imagem.height, OLPA_IMAGEM_ALTURA);
  // The border between editor and console moves them both.
  gtk_paned_set_position(GTK_PANED(olpa_divisao), 400);
  processa();
  EXPECT_EQ(area(olpa_campo_codigo_container).height, 400);
  EXPECT_EQ(area(olpa_campo_console_container).height, 760 - 20 - 50 - 400 - 10);
  gtk_paned_set_position(GTK_PANED(olpa_divisao), OLPA_EDITOR_ALTURA + 260);

  // A netbook's screen: the picture scrolls.
  redimensiona(700, 420);
  EXPECT_LT(area(olpa_imagem_rolagem).width, OLPA_IMAGEM_LARGURA);
  GtkAdjustment *h = gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(olpa_imagem_rolagem));
  EXPECT_EQ(gtk_adjustment_get_upper(h), OLPA_IMAGEM_LARGURA);
  EXPECT_LT(gtk_adjustment_get_page_size(h), OLPA_IMAGEM_LARGURA);

  redimensiona(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA);
  EXPECT_EQ(area(olpa_campo_codigo_container).height, editor.height);
  EXPECT_EQ(area(olpa_imagem).x, OLPA_IMAGEM_X);
  EXPECT_EQ(area(olpa_imagem_rolagem).width, OLPA_IMAGEM_LARGURA);
}

// ------------------------------------------------------------ zoom

TEST_F(Janela, ZoomMudaAFonteEFicaGuardado) {
  olpa_zoom_define(0);
  processa();
  const double padrao = pontos_do_editor();
  const std::string conf = std::string(g_get_user_config_dir()) + "/olpa/olpa.conf";
  aperta(GDK_KEY_plus, static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
  aperta(GDK_KEY_equal, GDK_CONTROL_MASK);
  EXPECT_EQ(olpa_zoom_tamanho(), static_cast<int>(padrao + 0.5) + 2);
  EXPECT_DOUBLE_EQ(pontos_do_editor(), olpa_zoom_tamanho());
  EXPECT_NE(le_arquivo(conf).find("tamanho_da_fonte=" + std::to_string(olpa_zoom_tamanho())),
            std::string::npos)
      << le_arquivo(conf);
  aperta(GDK_KEY_minus, GDK_CONTROL_MASK);
  EXPECT_EQ(olpa_zoom_tamanho(), static_cast<int>(padrao + 0.5) + 1);

  // Ctrl and the wheel over the console.
  GdkEvent *e = gdk_event_new(GDK_SCROLL);
  e->scroll.window = GDK_WINDOW(g_object_ref(
      gtk_text_view_get_window(GTK_TEXT_VIEW(olpa_campo_console), GTK_TEXT_WINDOW_TEXT)));
  e->scroll.direction = GDK_SCROLL_UP;
  e->scroll.state = GDK_CONTROL_MASK;
  gtk_widget_event(olpa_campo_console, e);
  gdk_event_free(e);
  processa();
  EXPECT_EQ(olpa_zoom_tamanho(), static_cast<int>(padrao + 0.5) + 2);

  // What a later start finds.
  olpa_zoom_define(0);
  escreve_arquivo(conf, "[editor]\ntamanho_da_fonte=20\n");
  olpa_zoom_carrega();
  processa();
  EXPECT_EQ(olpa_zoom_tamanho(), 20);
  EXPECT_DOUBLE_EQ(pontos_do_editor(), 20);
  aperta(GDK_KEY_0, GDK_CONTROL_MASK);
  EXPECT_EQ(olpa_zoom_tamanho(), 0);
  EXPECT_DOUBLE_EQ(pontos_do_editor(), padrao);
}

// ------------------------------------------------------------ the editor

TEST_F(Janela, FuncoesColoridasECompletadas) {
  GtkSourceLanguage *l =
      gtk_source_buffer_get_language(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer));
  ASSERT_NE(l, nullptr);
  EXPECT_STREQ(gtk_source_language_get_id(l), "olpa");
  const std::string lang = le_arquivo("olpalib/linguagem/olpa.lang");
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    EXPECT_NE(lang.find(std::string("<keyword>") + f.nome + "</keyword>"), std::string::npos)
        << f.nome;

  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, "int main(void) {\n  ", -1);
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &fim);
  // No window manager here: the window takes the keyboard by itself, as the
  // editor shows its completion only while it has the focus.
  gdk_window_focus(gtk_widget_get_window(olpa_janela), GDK_CURRENT_TIME);
  gtk_widget_grab_focus(olpa_campo_codigo_formatado);
  espera(100);
  digita("lin");
  std::vector<std::string> vistas;
  for (int i = 0; i < 40 && vistas.empty(); i++) {
    espera(50);
    vistas = propostas_na_tela();
  }
  EXPECT_EQ(vistas, (std::vector<std::string>{"linha(int x1, int y1, int x2, int y2)",
                                              "linha_ate(int dx, int dy)"}));
  // Return takes the first.
  aperta(GDK_KEY_Return);
  EXPECT_EQ(editor(), "int main(void) {\n  linha(");
  aperta(GDK_KEY_Escape);

  // Ctrl+Space with nothing typed offers every function.
  digita("0, 0, 9, 9);\n  ");
  aperta(GDK_KEY_space, GDK_CONTROL_MASK);
  vistas.clear();
  for (int i = 0; i < 40 && vistas.empty(); i++) {
    espera(50);
    vistas = propostas_na_tela();
  }
  EXPECT_EQ(vistas.size(), OLPA_NUM_FUNCOES);
  aperta(GDK_KEY_Escape);
}

TEST_F(Janela, ChaveFechaNaColunaDaSuaAbertura) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer,
                           "int main(void) {\n"
                           "  // { num comentário\n"
                           "  if (1) { char c = '{'; const char *t = \"{\";\n"
                           "    inicia();\n",
                           -1);
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &fim);
  gtk_widget_grab_focus(olpa_campo_codigo_formatado);
  digita("    }\n}");
  EXPECT_EQ(editor(), "int main(void) {\n"
                      "  // { num comentário\n"
                      "  if (1) { char c = '{'; const char *t = \"{\";\n"
                      "    inicia();\n"
                      "  }\n"
                      "}");
  // Text before it on the line: left as typed.
  digita("\n  x = 1; }");
  EXPECT_EQ(editor().substr(editor().rfind('\n')), "\n  x = 1; }");
}

TEST_F(Janela, LinhaLongaSemCores) {
  GtkSourceBuffer *b = GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer);
  EXPECT_TRUE(gtk_source_buffer_get_highlight_syntax(b));
  const std::string longa(OLPA_LINHA_LONGA + 1, 'x');
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, ("int a;\n" + longa + "\nint b;\n").c_str(),
                           -1);
  processa();
  EXPECT_FALSE(gtk_source_buffer_get_highlight_syntax(b));
  // Ordinary lines keep their wrapping.
  EXPECT_EQ(gtk_text_view_get_wrap_mode(GTK_TEXT_VIEW(olpa_campo_codigo_formatado)),
            GTK_WRAP_WORD_CHAR);
  // The colours come back with the long line gone.
  GtkTextIter a, f;
  gtk_text_buffer_get_iter_at_line(olpa_campo_codigo_buffer, &a, 1);
  gtk_text_buffer_get_iter_at_line(olpa_campo_codigo_buffer, &f, 2);
  gtk_text_buffer_delete(olpa_campo_codigo_buffer, &a, &f);
  processa();
  EXPECT_TRUE(gtk_source_buffer_get_highlight_syntax(b));
  // A line that grows long by typing.
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &f);
  gtk_text_buffer_insert(olpa_campo_codigo_buffer, &f, longa.c_str(), -1);
  processa();
  EXPECT_FALSE(gtk_source_buffer_get_highlight_syntax(b));
}

// ------------------------------------------------------------ help

TEST_F(Janela, F1AbreAAjuda) {
  aperta(GDK_KEY_F1);
  GtkWidget *ajuda = olpa_ajuda_janela();
  ASSERT_NE(ajuda, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(ajuda));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(ajuda)), "Ajuda do olpa");
  const std::vector<std::string> textos = rotulos(ajuda);
  const std::set<std::string> tem(textos.begin(), textos.end());
  for (const OlpaFuncao &f : OLPA_FUNCOES) {
    EXPECT_TRUE(tem.count(f.prototipo)) << f.nome;
    EXPECT_TRUE(tem.count(f.descricao)) << f.nome;
    EXPECT_TRUE(!f.exemplo || tem.count(f.exemplo)) << f.nome;
  }
  // Each common error of the data file, by its title.
  GKeyFile *erros = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(erros, OLPA_FONTE_DIR "/dados/erros_comuns.ini",
                                        G_KEY_FILE_NONE, nullptr));
  gsize n = 0;
  gchar **grupos = g_key_file_get_groups(erros, &n);
  EXPECT_GE(n, 5u);
  for (gchar **g = grupos; *g; g++) {
    EXPECT_TRUE(tem.count(*g)) << *g;
    OlpaTexto causa(g_key_file_get_string(erros, *g, "causa", nullptr));
    EXPECT_TRUE(causa && tem.count(std::string("Por quê: ") + causa.get())) << *g;
  }
  g_strfreev(grupos);
  g_key_file_free(erros);

  // The gallery: one "Abrir este exemplo" for each example shipped.
  GDir *pasta = g_dir_open(OLPA_FONTE_DIR "/exemplos", 0, nullptr);
  size_t exemplos = 0;
  while (const char *nome = g_dir_read_name(pasta))
    exemplos += g_str_has_suffix(nome, ".olp");
  g_dir_close(pasta);
  std::vector<GtkWidget *> abrir;
  GtkWidget *abrir_o_primeiro = nullptr;
  percorre(ajuda, [&](GtkWidget *w) {
    if (!GTK_IS_BUTTON(w) || !gtk_button_get_label(GTK_BUTTON(w)) ||
        strcmp(gtk_button_get_label(GTK_BUTTON(w)), "Abrir este exemplo") != 0)
      return;
    abrir.push_back(w);
    for (const std::string &r : rotulos(gtk_widget_get_parent(w)))
      if (r.rfind("01_primeira_linha: ", 0) == 0)
        abrir_o_primeiro = w;
  });
  ASSERT_EQ(abrir.size(), exemplos);
  ASSERT_NE(abrir_o_primeiro, nullptr);
  const std::string primeiro = le_arquivo(OLPA_FONTE_DIR "/exemplos/01_primeira_linha.olp");
  escreve_arquivo(em_exemplos("01_primeira_linha.olp"), primeiro);
  gtk_button_clicked(GTK_BUTTON(abrir_o_primeiro));
  processa();
  EXPECT_EQ(editor(), primeiro);
  EXPECT_EQ(olpa_arquivo_temnome, 1);
  gtk_widget_hide(ajuda);
}

// ------------------------------------------------------------ the picture

TEST_F(Janela, BotaoDireitoSalvaECopiaAFigura) {
  rodar("int main(void) { inicia(); cor_e_opacidade(255, 128, 0, 60); traco(30);"
        " linha(0, 0, 640, 480); termina(); return 0; }");
  GdkPixbuf *tela = gdk_pixbuf_new_from_file("../telas/imagem.png", nullptr);
  ASSERT_NE(tela, nullptr);

  GtkWidget *area_da_figura = gtk_widget_get_parent(olpa_imagem);
  GdkEvent *e = gdk_event_new(GDK_BUTTON_PRESS);
  e->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area_da_figura)));
  e->button.button = GDK_BUTTON_SECONDARY;
  e->button.x = e->button.y = 100;
  e->button.time = GDK_CURRENT_TIME;
  gdk_event_set_device(
      e, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_widget_event(area_da_figura, e);
  gdk_event_free(e);
  processa();
  GList *menus = gtk_menu_get_for_attach_widget(olpa_imagem);
  ASSERT_NE(menus, nullptr);
  GtkWidget *menu = GTK_WIDGET(g_list_last(menus)->data);
  EXPECT_TRUE(gtk_widget_get_visible(menu));
  std::vector<GtkWidget *> itens;
  percorre(menu, [&itens](GtkWidget *w) {
    if (GTK_IS_MENU_ITEM(w))
      itens.push_back(w);
  });
  ASSERT_EQ(itens.size(), 2u);
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(itens[0])), "Salvar figura como…");
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(itens[1])), "Copiar figura");
  gtk_menu_popdown(GTK_MENU(menu));

  int largura = 0, altura = 0;
  const std::string telas = OlpaTexto(g_canonicalize_filename("../telas", nullptr)).get();
  const Resposta salva_como = salvar(telas, "figura.png", telas + "/copia.png");
  com_respostas({[&](GtkWidget *d, int vez) {
                  gtk_window_get_size(GTK_WINDOW(d), &largura, &altura);
                  return salva_como(d, vez);
                }},
                [&] { gtk_menu_item_activate(GTK_MENU_ITEM(itens[0])); });
  EXPECT_LE(largura, OLPA_SELETOR_LARGURA_MAXIMA);
  EXPECT_LE(altura, OLPA_SELETOR_ALTURA_MAXIMA);
  GdkPixbuf *salva = gdk_pixbuf_new_from_file("../telas/copia.png", nullptr);
  EXPECT_EQ(diferentes(salva, tela), 0);

  gtk_menu_item_activate(GTK_MENU_ITEM(itens[1]));
  GdkPixbuf *copiada = gtk_clipboard_wait_for_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  EXPECT_EQ(diferentes(copiada, tela), 0);
  for (GdkPixbuf *p : {tela, salva, copiada})
    if (p)
      g_object_unref(p);
}

// ------------------------------------------------------------ Abrir

TEST_F(Janela, AbrirMostraAFiguraDoExemploECabeNaTela) {
  const std::string exemplo = em_exemplos("06_rede.olp"), meu = em_exemplos("meu.olp");
  escreve_arquivo(exemplo, le_arquivo(OLPA_FONTE_DIR "/exemplos/06_rede.olp"));
  escreve_arquivo(meu, "int main(void) { return 0; }\n");
  OlpaTexto caminho_exemplo(g_canonicalize_filename(exemplo.c_str(), nullptr));
  OlpaTexto caminho_meu(g_canonicalize_filename(meu.c_str(), nullptr));
  GdkPixbuf *esperada = gdk_pixbuf_new_from_file_at_scale(
      (std::string(OLPA_FIGURAS_DOS_EXEMPLOS) + "/06_rede.png").c_str(), OLPA_PREVIA_LARGURA,
      OLPA_PREVIA_ALTURA, TRUE, nullptr);
  ASSERT_NE(esperada, nullptr);
  int vez = 0, largura = 0, altura = 0;
  bool mostrou = false, escondeu = false;
  const Resposta olha = [&](GtkWidget *d, int) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    GtkWidget *previa = gtk_file_chooser_get_preview_widget(s);
    const bool ativa = gtk_file_chooser_get_preview_widget_active(s);
    if (vez++ == 0)
      gtk_window_get_size(GTK_WINDOW(d), &largura, &altura);
    // The folder loads in the background, and a pick made before may be
    // lost: pick again now and then, as a person would click again.
    const char *quero = mostrou ? caminho_meu.get() : caminho_exemplo.get();
    if (vez % (50 / TIQUE_MS) == 1)
      gtk_file_chooser_select_filename(s, quero);
    if (!mostrou && ativa && GTK_IS_IMAGE(previa) &&
        diferentes(gtk_image_get_pixbuf(GTK_IMAGE(previa)), esperada) == 0) {
      mostrou = true;
      gtk_file_chooser_select_filename(s, caminho_meu.get());
      vez = 1;
    } else if (mostrou && !ativa) {
      escondeu = true;
    }
    if (!escondeu && vez < 2000 / TIQUE_MS)
      return false;
    gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
    return true;
  };
  clica(olpa_bt_abrir, {olha});
  g_object_unref(esperada);
  EXPECT_TRUE(mostrou);
  EXPECT_TRUE(escondeu);
  EXPECT_LE(largura, OLPA_SELETOR_LARGURA_MAXIMA);
  EXPECT_LE(altura, OLPA_SELETOR_ALTURA_MAXIMA);
  EXPECT_GT(largura, 0);
}

} // namespace
