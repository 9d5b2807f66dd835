// SPDX-License-Identifier: GPL-3.0-or-later
// The window: its widgets made and laid out, its buttons and keyboard
// shortcuts (one table each), every part of it hooked once the widgets
// exist (one table), and its closing.
#include "olpa.h"

#include "olpa_acoes.h"
#include "olpa_ajuda.h"
#include "olpa_analise.h"
#include "olpa_arquivos.h"
#include "olpa_console.h"
#include "olpa_dialogos.h"
#include "olpa_editor.h"
#include "olpa_execucao.h"
#include "olpa_figura.h"
#include "olpa_layout.h"
#include "olpa_marcas.h"
#include "olpa_tira.h"
#include "olpa_vista.h"
#include "olpa_zoom.h"
#include "olpagfx.h"

#ifndef OLPA_TITULO_TEXTO
#error "OLPA_TITULO_TEXTO must give the window's title, from the project's version"
#endif

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

Olpa janela; // the one window, handed to every action as its data

// Layout settings, as olpa_UI receives and sets them.
int olpa_janela_largura, olpa_janela_altura;
int olpa_bt_largura, olpa_bt_altura, olpa_bt_relevo;

// The buttons, from left to right; each action gets the window as its data.
struct Botao {
  GtkWidget *OlpaUI::*campo;
  const char *rotulo;
  void (*acao)(GtkWidget *, gpointer);
  const char *dica;
};
const Botao BOTOES[] = {
    {&OlpaUI::olpa_bt_novo, "Novo", olpa_confirma_limpar, "Começa um programa novo (Ctrl+N)"},
    {&OlpaUI::olpa_bt_abrir, "Abrir", olpa_abrir, "Abre um arquivo .olp (Ctrl+O)"},
    {&OlpaUI::olpa_bt_salvar, "Salvar", olpa_salvar, "Salva o programa num arquivo .olp (Ctrl+S)"},
    {&OlpaUI::olpa_bt_executar, "Rodar", olpa_botao_executar,
     "Compila e roda o programa (F5 ou Ctrl+R)"},
    {&OlpaUI::olpa_bt_limpar, "Limpar", olpa_limpa_tela_e_console, "Limpa o console e a imagem"},
};

// Shortcuts press the buttons, so a key and a click do the same thing.
struct Atalho {
  GtkWidget *OlpaUI::*botao;
  guint tecla;
  GdkModifierType modificadores;
};
const Atalho ATALHOS[] = {
    {&OlpaUI::olpa_bt_executar, GDK_KEY_F5, static_cast<GdkModifierType>(0)},
    {&OlpaUI::olpa_bt_executar, GDK_KEY_r, GDK_CONTROL_MASK},
    {&OlpaUI::olpa_bt_salvar, GDK_KEY_s, GDK_CONTROL_MASK},
    {&OlpaUI::olpa_bt_abrir, GDK_KEY_o, GDK_CONTROL_MASK},
    {&OlpaUI::olpa_bt_novo, GDK_KEY_n, GDK_CONTROL_MASK},
};

// The parts of the window, each hooked to its widgets once they all exist,
// in this order. A new part is a line here.
void (*const PARTES[])(Olpa &) = {
    olpa_editor_liga,   // the language, completion, "}" and long lines
    olpa_console_liga,  // its looks, and its text while runs write into it
    olpa_vista_liga,    // the picture
    olpa_figura_liga,   // the picture's right-click menu
    olpa_marcas_liga,   // the lines a run found mistakes in
    olpa_analise_liga,  // the editor's underlines, below the marks of runs
    olpa_zoom_liga,     // the font's size
    olpa_ajuda_liga,    // F1
    olpa_tira_liga,     // the strip of steps under the picture, F6 and F7
    olpa_execucao_liga, // runs: Esc, "Parar", the first child readied
};

// Theme paddings would make the five buttons wider and taller than the bar,
// pushing "Limpar" over the picture.
const char ESTILO[] = "#olpa-codigo { font-family: monospace; }"
                      "#olpa-botoes button { min-width: 0; min-height: 0; padding: 2px; }";

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
void cria_janela(OlpaUI &ui, const char *titulo) {
  ui.olpa_janela = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(ui.olpa_janela), titulo);
  gtk_window_set_default_size(GTK_WINDOW(ui.olpa_janela), olpa_janela_largura, olpa_janela_altura);
  gtk_window_set_position(GTK_WINDOW(ui.olpa_janela), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(ui.olpa_janela), TRUE);
  gtk_container_set_border_width(GTK_CONTAINER(ui.olpa_janela), OLPA_BORDA);
  ui.olpa_layout = GTK_WIDGET(g_object_new(olpa_moldura_get_type(), nullptr));
  gtk_container_add(GTK_CONTAINER(ui.olpa_janela), ui.olpa_layout);
  ui.olpa_conteudo = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, OLPA_VAO_IMAGEM);
  gtk_fixed_put(GTK_FIXED(ui.olpa_layout), ui.olpa_conteudo, 0, 0);
  ui.olpa_coluna = gtk_box_new(GTK_ORIENTATION_VERTICAL, OLPA_VAO_BOTOES);
  gtk_widget_set_hexpand(ui.olpa_coluna, TRUE);
  gtk_box_pack_start(GTK_BOX(ui.olpa_conteudo), ui.olpa_coluna, TRUE, TRUE, 0);
  ui.olpa_divisao = gtk_paned_new(GTK_ORIENTATION_VERTICAL);
  gtk_widget_set_name(ui.olpa_divisao, "olpa-divisao");
}

// The picture's column: as large as the picture when there is room, smaller
// (scrolling) when not; an event box under the picture takes its clicks.
void cria_imagem(OlpaUI &ui) {
  ui.olpa_saida = gtk_box_new(GTK_ORIENTATION_VERTICAL, OLPA_ESPACO);
  gtk_box_set_homogeneous(GTK_BOX(ui.olpa_saida), FALSE);
  gtk_widget_set_valign(ui.olpa_saida, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(ui.olpa_conteudo), ui.olpa_saida, FALSE, TRUE, 0);
  ui.olpa_imagem_rolagem = gtk_scrolled_window_new(nullptr, nullptr);
  GtkScrolledWindow *rolagem = GTK_SCROLLED_WINDOW(ui.olpa_imagem_rolagem);
  gtk_scrolled_window_set_policy(rolagem, GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_propagate_natural_width(rolagem, TRUE);
  gtk_scrolled_window_set_propagate_natural_height(rolagem, TRUE);
  gtk_scrolled_window_set_min_content_width(rolagem, OLPA_IMAGEM_LARGURA_MINIMA);
  gtk_scrolled_window_set_min_content_height(rolagem, OLPA_IMAGEM_ALTURA_MINIMA);
  gtk_box_pack_start(GTK_BOX(ui.olpa_saida), ui.olpa_imagem_rolagem, FALSE, FALSE, 0);
  ui.olpa_imagem = gtk_image_new_from_file(OLPA_IMAGEM_INICIAL);
  gtk_widget_set_size_request(ui.olpa_imagem, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA);
  gtk_widget_set_halign(ui.olpa_imagem, GTK_ALIGN_START);
  gtk_widget_set_valign(ui.olpa_imagem, GTK_ALIGN_START);
  GtkWidget *eventos = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(eventos), ui.olpa_imagem);
  gtk_container_add(GTK_CONTAINER(ui.olpa_imagem_rolagem), eventos);
  GtkWidget *vista = gtk_bin_get_child(GTK_BIN(ui.olpa_imagem_rolagem));
  gtk_viewport_set_shadow_type(GTK_VIEWPORT(vista), GTK_SHADOW_NONE);
}

void cria_botoes(OlpaUI &ui) {
  ui.olpa_botoes = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, OLPA_ESPACO);
  gtk_widget_set_name(ui.olpa_botoes, "olpa-botoes");
  gtk_box_set_homogeneous(GTK_BOX(ui.olpa_botoes), TRUE);
  gtk_widget_set_halign(ui.olpa_botoes, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(ui.olpa_coluna), ui.olpa_botoes, FALSE, FALSE, 0);
  gtk_widget_set_size_request(ui.olpa_botoes, OLPA_COLUNA_LARGURA, olpa_bt_altura);
  for (const Botao &b : BOTOES) {
    GtkWidget *botao = gtk_button_new();
    gtk_button_set_relief(GTK_BUTTON(botao), static_cast<GtkReliefStyle>(olpa_bt_relevo));
    gtk_button_set_label(GTK_BUTTON(botao), b.rotulo);
    gtk_widget_set_size_request(botao, olpa_bt_largura, olpa_bt_altura);
    gtk_widget_set_tooltip_text(botao, b.dica);
    gtk_box_pack_start(GTK_BOX(ui.olpa_botoes), botao, TRUE, TRUE, 0);
    g_signal_connect(botao, "clicked", G_CALLBACK(b.acao), &janela);
    ui.*b.campo = botao;
  }
}

void configura_atalhos(OlpaUI &ui) {
  GtkAccelGroup *grupo = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(ui.olpa_janela), grupo);
  for (const Atalho &a : ATALHOS)
    gtk_widget_add_accelerator(ui.*a.botao, "clicked", grupo, a.tecla, a.modificadores,
                               GTK_ACCEL_VISIBLE);
  g_object_unref(grupo);
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
void cria_divisao(OlpaUI &ui) {
  ui.olpa_campo_codigo_container = cria_rolagem(OLPA_EDITOR_ALTURA_MINIMA);
  ui.olpa_campo_console_container = cria_rolagem(OLPA_CONSOLE_ALTURA_MINIMA);
  gtk_paned_pack1(GTK_PANED(ui.olpa_divisao), ui.olpa_campo_codigo_container, TRUE, FALSE);
  gtk_paned_pack2(GTK_PANED(ui.olpa_divisao), ui.olpa_campo_console_container, FALSE, FALSE);
  gtk_paned_set_position(GTK_PANED(ui.olpa_divisao), OLPA_EDITOR_ALTURA);
  gtk_box_pack_start(GTK_BOX(ui.olpa_coluna), ui.olpa_divisao, TRUE, TRUE, 0);
}

void cria_console(OlpaUI &ui) {
  ui.olpa_campo_console = gtk_text_view_new();
  gtk_widget_set_name(ui.olpa_campo_console, "olpa-console");
  ui.olpa_campo_console_buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(ui.olpa_campo_console));
  gtk_text_buffer_set_text(ui.olpa_campo_console_buffer, OLPA_CONSOLE_INICIAL, -1);
  gtk_container_add(GTK_CONTAINER(ui.olpa_campo_console_container), ui.olpa_campo_console);
  gtk_text_view_set_editable(GTK_TEXT_VIEW(ui.olpa_campo_console), FALSE);
  // Error lines are longer than the left column; a learner must read them whole.
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(ui.olpa_campo_console), GTK_WRAP_WORD_CHAR);
}

void cria_editor(OlpaUI &ui) {
  ui.olpa_campo_codigo_formatado = gtk_source_view_new();
  gtk_widget_set_name(ui.olpa_campo_codigo_formatado, "olpa-codigo");
  GtkSourceView *editor = GTK_SOURCE_VIEW(ui.olpa_campo_codigo_formatado);
  gtk_source_view_set_auto_indent(editor, TRUE);
  gtk_source_view_set_indent_width(editor, 2);
  gtk_source_view_set_highlight_current_line(editor, TRUE);
  gtk_source_view_set_show_line_numbers(editor, TRUE);
  gtk_source_view_set_show_line_marks(editor, TRUE);
  gtk_source_view_set_right_margin_position(editor, 80);
  gtk_source_view_set_show_right_margin(editor, TRUE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(editor), GTK_WRAP_WORD_CHAR);
  gtk_container_add(GTK_CONTAINER(ui.olpa_campo_codigo_container), ui.olpa_campo_codigo_formatado);
  ui.olpa_campo_codigo_buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(editor));
  gtk_text_buffer_set_text(ui.olpa_campo_codigo_buffer, OLPA_TEXTO_INICIAL, -1);
  gtk_text_buffer_set_modified(ui.olpa_campo_codigo_buffer, FALSE);
}

// Closing stops a run, and asks first when there are changes not saved.
gboolean olpa_destroi_janela(GtkWidget *, GdkEvent *, gpointer dados) {
  const OlpaUI &ui = static_cast<Olpa *>(dados)->ui;
  olpa_para_execucao();
  // "Deseja sair sem salvar as alterações?" in ISO-8859-1.
  if (olpa_codigo_modificado(ui) &&
      !olpa_pergunta(GTK_WINDOW(ui.olpa_janela), "Deseja sair sem salvar as altera\xe7\xf5"
                                                 "es?"))
    return TRUE;
  gtk_main_quit();
  return TRUE; // the window stays until the process ends
}

} // namespace

Olpa &olpa_UI(int largura, int altura, const char *titulo) {
  olpa_janela_largura = largura;
  olpa_janela_altura = altura;
  olpa_bt_largura = OLPA_BT_LARGURA;
  olpa_bt_altura = OLPA_BT_ALTURA;
  olpa_bt_relevo = GTK_RELIEF_NORMAL; // GTK 3 draws its "half" relief as the normal one
  olpa_defs(janela.sessao);

  OlpaUI &ui = janela.ui;
  aplica_estilo();
  define_icones();
  cria_janela(ui, titulo);
  cria_imagem(ui);
  cria_botoes(ui);
  cria_divisao(ui);
  cria_console(ui);
  cria_editor(ui);
  configura_atalhos(ui);
  for (void (*liga)(Olpa &) : PARTES)
    liga(janela);
  g_signal_connect(ui.olpa_janela, "delete-event", G_CALLBACK(olpa_destroi_janela), &janela);
  gtk_widget_show_all(ui.olpa_janela);
  return janela;
}

void olpa_defs(OlpaSessao &sessao) {
  sessao.olpa_arquivo_temnome = 0;
  olpa_gfx_defs();
}
