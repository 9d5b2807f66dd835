// SPDX-License-Identifier: GPL-3.0-or-later
// The window: building it, its looks (styles, the console's two looks, the
// editor's error marks, icons), its keyboard shortcuts and its closing.
#include "olpa.h"
#include "olpa_analise.h"

#include "olpa_layout.h"
#include "olpagfx.h"

#ifndef OLPA_TITULO_TEXTO
#error "OLPA_TITULO_TEXTO must give the window's title, from the project's version"
#endif

int olpa_janela_largura, olpa_janela_altura;
int olpa_bt_largura, olpa_bt_altura, olpa_bt_relevo;

GtkWidget *olpa_janela, *olpa_layout, *olpa_saida, *olpa_imagem, *olpa_botoes;
GtkWidget *olpa_conteudo, *olpa_coluna, *olpa_divisao, *olpa_imagem_rolagem;
GtkWidget *olpa_bt_novo, *olpa_bt_abrir, *olpa_bt_salvar, *olpa_bt_executar, *olpa_bt_limpar;
GtkWidget *olpa_campo_codigo_container, *olpa_campo_codigo_formatado;
GtkWidget *olpa_campo_console_container, *olpa_campo_console;
GtkTextBuffer *olpa_campo_codigo_buffer, *olpa_campo_console_buffer;
GtkSourceLanguageManager *olpa_linguagem_manager;
GtkSourceLanguage *olpa_linguagem;

int olpa_arquivo_temnome;
std::string olpa_nome_arquivo;
OlpaTexto olpa_codigo_texto;

const char *const OLPA_TITULO = OLPA_TITULO_TEXTO;
// A first program that runs: the learner sees at once what Rodar does.
const char *const OLPA_TEXTO_INICIAL =
    "// Bem-vindo ao olpa! Escreva seu código aqui e aperte Rodar (F5).\n"
    "int main(void) {\n"
    "  inicia();\n"
    "  cor(255, 200, 0);\n"
    "  traco(4);\n"
    "  linha(120, 240, 520, 240);\n"
    "  termina();\n"
    "  return 0;\n"
    "}\n";
const char *const OLPA_CONSOLE_INICIAL = "## console do olpa: aguardando dados ##\n";
const char *const OLPA_IMAGEM_INICIAL = "olpalib/init.png";

namespace {

// The console's looks. Colours set on the widget itself do not reach a text
// view's text area under GTK 3 themes; a style sheet does.
const char ESTILO[] = "#olpa-console, #olpa-console text {"
                      "  background-color: #000000; color: #ffffff; font-family: monospace; }"
                      "#olpa-console.olpa-erro, #olpa-console.olpa-erro text {"
                      "  background-color: #ff0000; }"
                      "#olpa-codigo { font-family: monospace; }"
                      // Theme paddings would make the five buttons wider and
                      // taller than the bar, pushing "Limpar" over the picture.
                      "#olpa-botoes button { min-width: 0; min-height: 0; padding: 2px; }";

bool em_erro = false;

void define_cor_console(bool erro) {
  GtkStyleContext *estilo = gtk_widget_get_style_context(olpa_campo_console);
  if (erro)
    gtk_style_context_add_class(estilo, "olpa-erro");
  else
    gtk_style_context_remove_class(estilo, "olpa-erro");
  em_erro = erro;
}

void aplica_estilo() {
  GtkCssProvider *css = gtk_css_provider_new();
  // The border between editor and console: a gap of the window's colour, as
  // tall as the layout's, to drag.
  OlpaTexto estilo(g_strdup_printf("%s #olpa-divisao > separator { min-height: %dpx; "
                                   "background: none; }",
                                   ESTILO, OLPA_VAO_DIVISAO));
  gtk_css_provider_load_from_data(css, estilo.get(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

// Window icons: the sizes found in olpalib/icones/ (none is fine).
void define_icones() {
  GList *icones = nullptr;
  for (const int n : {OLPA_ICONE_TAMANHOS}) { // the build's list
    const std::string caminho = "olpalib/icones/olpa-" + std::to_string(n) + ".png";
    if (GdkPixbuf *icone = gdk_pixbuf_new_from_file(caminho.c_str(), nullptr))
      icones = g_list_append(icones, icone);
  }
  gtk_window_set_default_icon_list(icones);
  g_list_free_full(icones, g_object_unref);
}

GtkWidget *cria_botao(const char *rotulo, GCallback acao, gpointer dados, const char *dica) {
  GtkWidget *botao = gtk_button_new();
  gtk_button_set_relief(GTK_BUTTON(botao), static_cast<GtkReliefStyle>(olpa_bt_relevo));
  gtk_button_set_label(GTK_BUTTON(botao), rotulo);
  gtk_widget_set_size_request(botao, olpa_bt_largura, olpa_bt_altura);
  gtk_widget_set_tooltip_text(botao, dica);
  gtk_box_pack_start(GTK_BOX(olpa_botoes), botao, TRUE, TRUE, 0);
  g_signal_connect(botao, "clicked", acao, dados);
  return botao;
}

// Shortcuts press the buttons, so a key and a click do the same thing.
void atalho(GtkAccelGroup *grupo, GtkWidget *botao, guint tecla, GdkModifierType mods) {
  gtk_widget_add_accelerator(botao, "clicked", grupo, tecla, mods, GTK_ACCEL_VISIBLE);
}

void configura_atalhos() {
  GtkAccelGroup *grupo = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(olpa_janela), grupo);
  atalho(grupo, olpa_bt_executar, GDK_KEY_F5, static_cast<GdkModifierType>(0));
  atalho(grupo, olpa_bt_executar, GDK_KEY_r, GDK_CONTROL_MASK);
  atalho(grupo, olpa_bt_salvar, GDK_KEY_s, GDK_CONTROL_MASK);
  atalho(grupo, olpa_bt_abrir, GDK_KEY_o, GDK_CONTROL_MASK);
  atalho(grupo, olpa_bt_novo, GDK_KEY_n, GDK_CONTROL_MASK);
  g_object_unref(grupo);
}

// The layout: a fixed container whose one child, the content, takes all of
// its room. Like any fixed layout it keeps what is drawn inside it (the
// buttons' shadows stop at the border).
struct OlpaMoldura {
  GtkFixed pai;
};
struct OlpaMolduraClass {
  GtkFixedClass pai;
};
G_DEFINE_TYPE(OlpaMoldura, olpa_moldura, GTK_TYPE_FIXED)

void moldura_aloca(GtkWidget *moldura, GtkAllocation *area) {
  gtk_widget_set_allocation(moldura, area);
  GList *filhos = gtk_container_get_children(GTK_CONTAINER(moldura));
  for (GList *l = filhos; l; l = l->next)
    gtk_widget_size_allocate(GTK_WIDGET(l->data), area);
  g_list_free(filhos);
  gtk_widget_set_clip(moldura, area);
}

void olpa_moldura_class_init(OlpaMolduraClass *classe) {
  GTK_WIDGET_CLASS(classe)->size_allocate = moldura_aloca;
}
void olpa_moldura_init(OlpaMoldura *) {}

// The content: the left column (buttons above, then the editor and the
// console with a border between them the learner can drag) and the picture
// to its right. Extra room goes to the editor and the console; the picture
// stays the canvas's size, and scrolls when the window is smaller.
void cria_janela(int largura, int altura, const char *titulo) {
  olpa_janela = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(olpa_janela), titulo);
  gtk_window_set_default_size(GTK_WINDOW(olpa_janela), largura, altura);
  gtk_window_set_position(GTK_WINDOW(olpa_janela), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(olpa_janela), TRUE);
  gtk_container_set_border_width(GTK_CONTAINER(olpa_janela), OLPA_BORDA);
  olpa_layout = GTK_WIDGET(g_object_new(olpa_moldura_get_type(), nullptr));
  gtk_container_add(GTK_CONTAINER(olpa_janela), olpa_layout);
  olpa_conteudo = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, OLPA_VAO_IMAGEM);
  gtk_fixed_put(GTK_FIXED(olpa_layout), olpa_conteudo, 0, 0);
  olpa_coluna = gtk_box_new(GTK_ORIENTATION_VERTICAL, OLPA_VAO_BOTOES);
  gtk_widget_set_hexpand(olpa_coluna, TRUE);
  gtk_box_pack_start(GTK_BOX(olpa_conteudo), olpa_coluna, TRUE, TRUE, 0);
  olpa_divisao = gtk_paned_new(GTK_ORIENTATION_VERTICAL);
  gtk_widget_set_name(olpa_divisao, "olpa-divisao");
}

void cria_imagem() {
  olpa_saida = gtk_box_new(GTK_ORIENTATION_VERTICAL, OLPA_ESPACO);
  gtk_box_set_homogeneous(GTK_BOX(olpa_saida), FALSE);
  gtk_widget_set_valign(olpa_saida, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(olpa_conteudo), olpa_saida, FALSE, TRUE, 0);
  // As large as the picture when there is room, smaller (scrolling) when not.
  olpa_imagem_rolagem = gtk_scrolled_window_new(nullptr, nullptr);
  GtkScrolledWindow *rolagem = GTK_SCROLLED_WINDOW(olpa_imagem_rolagem);
  gtk_scrolled_window_set_policy(rolagem, GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_propagate_natural_width(rolagem, TRUE);
  gtk_scrolled_window_set_propagate_natural_height(rolagem, TRUE);
  gtk_scrolled_window_set_min_content_width(rolagem, OLPA_IMAGEM_LARGURA_MINIMA);
  gtk_scrolled_window_set_min_content_height(rolagem, OLPA_IMAGEM_ALTURA_MINIMA);
  gtk_box_pack_start(GTK_BOX(olpa_saida), olpa_imagem_rolagem, FALSE, FALSE, 0);
  olpa_imagem = gtk_image_new_from_file(OLPA_IMAGEM_INICIAL);
  gtk_widget_set_size_request(olpa_imagem, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA);
  gtk_widget_set_halign(olpa_imagem, GTK_ALIGN_START);
  gtk_widget_set_valign(olpa_imagem, GTK_ALIGN_START);
  // An event box under the picture takes the right-click (olpa_figura.cpp).
  GtkWidget *eventos = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(eventos), olpa_imagem);
  gtk_container_add(GTK_CONTAINER(olpa_imagem_rolagem), eventos);
  GtkWidget *vista = gtk_bin_get_child(GTK_BIN(olpa_imagem_rolagem));
  gtk_viewport_set_shadow_type(GTK_VIEWPORT(vista), GTK_SHADOW_NONE);
  olpa_figura_liga_menu(eventos);
  olpa_tira_cria(olpa_saida, eventos);
}

void cria_botoes() {
  olpa_botoes = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, OLPA_ESPACO);
  gtk_widget_set_name(olpa_botoes, "olpa-botoes");
  gtk_box_set_homogeneous(GTK_BOX(olpa_botoes), TRUE);
  gtk_widget_set_halign(olpa_botoes, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(olpa_coluna), olpa_botoes, FALSE, FALSE, 0);
  gtk_widget_set_size_request(olpa_botoes, OLPA_COLUNA_LARGURA, olpa_bt_altura);
  olpa_bt_novo = cria_botao("Novo", G_CALLBACK(olpa_confirma_limpar), olpa_janela,
                            "Começa um programa novo (Ctrl+N)");
  olpa_bt_abrir =
      cria_botao("Abrir", G_CALLBACK(olpa_abrir), olpa_janela, "Abre um arquivo .olp (Ctrl+O)");
  olpa_bt_salvar = cria_botao("Salvar", G_CALLBACK(olpa_salvar), olpa_janela,
                              "Salva o programa num arquivo .olp (Ctrl+S)");
  olpa_bt_executar = cria_botao("Rodar", G_CALLBACK(olpa_botao_executar), nullptr,
                                "Compila e roda o programa (F5 ou Ctrl+R)");
  olpa_bt_limpar = cria_botao("Limpar", G_CALLBACK(olpa_limpa_tela_e_console), nullptr,
                              "Limpa o console e a imagem");
}

// A scrolled window in the left column, of the column's width and at least
// `minima` high. Text views scroll by themselves under GTK 3: they go
// straight into it, with no viewport between.
GtkWidget *cria_rolagem(int minima) {
  GtkWidget *rolagem = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_min_content_width(GTK_SCROLLED_WINDOW(rolagem), OLPA_COLUNA_LARGURA);
  gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(rolagem), minima);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(rolagem), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  return rolagem;
}

// The editor above the console; a larger window makes the editor taller, and
// the border between them moves them both.
void cria_divisao() {
  olpa_campo_codigo_container = cria_rolagem(OLPA_EDITOR_ALTURA_MINIMA);
  olpa_campo_console_container = cria_rolagem(OLPA_CONSOLE_ALTURA_MINIMA);
  gtk_paned_pack1(GTK_PANED(olpa_divisao), olpa_campo_codigo_container, TRUE, FALSE);
  gtk_paned_pack2(GTK_PANED(olpa_divisao), olpa_campo_console_container, FALSE, FALSE);
  gtk_paned_set_position(GTK_PANED(olpa_divisao), OLPA_EDITOR_ALTURA);
  gtk_box_pack_start(GTK_BOX(olpa_coluna), olpa_divisao, TRUE, TRUE, 0);
}

void cria_console() {
  olpa_campo_console = gtk_text_view_new();
  gtk_widget_set_name(olpa_campo_console, "olpa-console");
  olpa_campo_console_buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(olpa_campo_console));
  gtk_text_buffer_set_text(olpa_campo_console_buffer, OLPA_CONSOLE_INICIAL, -1);
  gtk_container_add(GTK_CONTAINER(olpa_campo_console_container), olpa_campo_console);
  gtk_text_view_set_editable(GTK_TEXT_VIEW(olpa_campo_console), FALSE);
  // Error lines are longer than the left column; a learner must read them whole.
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(olpa_campo_console), GTK_WRAP_WORD_CHAR);
  olpa_console_normal();
}

void cria_editor() {
  olpa_campo_codigo_formatado = gtk_source_view_new();
  gtk_widget_set_name(olpa_campo_codigo_formatado, "olpa-codigo");
  GtkSourceView *editor = GTK_SOURCE_VIEW(olpa_campo_codigo_formatado);
  gtk_source_view_set_auto_indent(editor, TRUE);
  gtk_source_view_set_indent_width(editor, 2);
  gtk_source_view_set_highlight_current_line(editor, TRUE);
  gtk_source_view_set_show_line_numbers(editor, TRUE);
  gtk_source_view_set_show_line_marks(editor, TRUE);
  gtk_source_view_set_right_margin_position(editor, 80);
  gtk_source_view_set_show_right_margin(editor, TRUE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(editor), GTK_WRAP_WORD_CHAR);
  gtk_container_add(GTK_CONTAINER(olpa_campo_codigo_container), olpa_campo_codigo_formatado);
  olpa_campo_codigo_buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(editor));
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, OLPA_TEXTO_INICIAL, -1);
  gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, FALSE);
  olpa_editor_configura();
}

} // namespace

void olpa_UI(int largura, int altura, const char *titulo) {
  olpa_janela_largura = largura;
  olpa_janela_altura = altura;
  olpa_bt_largura = OLPA_BT_LARGURA;
  olpa_bt_altura = OLPA_BT_ALTURA;
  olpa_bt_relevo = GTK_RELIEF_NORMAL; // GTK 3 draws its "half" relief as the normal one
  olpa_defs();

  aplica_estilo();
  define_icones();
  cria_janela(olpa_janela_largura, olpa_janela_altura, titulo);
  cria_imagem();
  cria_botoes();
  cria_divisao();
  cria_console();
  cria_editor();
  configura_atalhos();
  olpa_marcas_liga();
  olpa_analise_liga(GTK_SOURCE_VIEW(olpa_campo_codigo_formatado));
  olpa_zoom_liga();
  olpa_ajuda_liga();
  g_signal_connect(olpa_janela, "delete-event", G_CALLBACK(olpa_destroi_janela), nullptr);
  gtk_widget_show_all(olpa_janela);
  olpa_liga_execucoes();
}

void olpa_defs(void) {
  olpa_arquivo_temnome = 0;
  olpa_gfx_defs();
}

void olpa_console_erro(void) {
  define_cor_console(true);
  gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
}

void olpa_console_normal(void) {
  define_cor_console(false);
}

bool olpa_console_em_erro(void) {
  return em_erro;
}

bool olpa_pergunta(GtkWindow *pai, const char *pergunta) {
  OlpaTexto texto(olpa_utf8(pergunta));
  OlpaTexto titulo(olpa_utf8("Confirma\xe7\xe3o")); // "Confirmação" in ISO-8859-1
  GtkWidget *dialogo =
      gtk_message_dialog_new(pai, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_QUESTION,
                             GTK_BUTTONS_YES_NO, "%s", texto.get());
  gtk_window_set_title(GTK_WINDOW(dialogo), titulo.get());
  const gint resposta = gtk_dialog_run(GTK_DIALOG(dialogo));
  gtk_widget_destroy(dialogo);
  return resposta == GTK_RESPONSE_YES;
}

gboolean olpa_destroi_janela(GtkWidget *, GdkEvent *, gpointer) {
  olpa_para_execucao();
  // "Deseja sair sem salvar as alterações?" in ISO-8859-1.
  if (olpa_codigo_modificado() &&
      !olpa_pergunta(GTK_WINDOW(olpa_janela), "Deseja sair sem salvar as altera\xe7\xf5"
                                              "es?"))
    return TRUE;
  gtk_main_quit();
  return TRUE; // the window stays until the process ends
}
