// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: the one window and its console looks (olpa.cpp),
// the run, clear and new actions (olpa_acoes.cpp), and the code files
// (olpa_arquivos.cpp).
#pragma once

#include "olpa_comum.h"

#include <gtk/gtk.h>
#include <gtksourceview/gtksource.h>

#include <memory>
#include <string>
#include <vector>

// Layout settings.
extern int olpa_janela_largura, olpa_janela_altura;
extern int olpa_bt_largura, olpa_bt_altura, olpa_bt_relevo;

// Widgets, alive for the life of the process.
extern GtkWidget *olpa_janela, *olpa_layout, *olpa_saida, *olpa_imagem, *olpa_botoes;
// In the fixed layout, the content as large as the layout: the left column
// (buttons, then the editor above the console with a border to drag between
// them) and the picture in a scrolled view.
extern GtkWidget *olpa_conteudo, *olpa_coluna, *olpa_divisao, *olpa_imagem_rolagem;
extern GtkWidget *olpa_bt_novo, *olpa_bt_abrir, *olpa_bt_salvar, *olpa_bt_executar, *olpa_bt_limpar;
extern GtkWidget *olpa_campo_codigo_container, *olpa_campo_codigo_formatado;
extern GtkWidget *olpa_campo_console_container, *olpa_campo_console;
extern GtkTextBuffer *olpa_campo_codigo_buffer, *olpa_campo_console_buffer;
extern GtkSourceLanguageManager *olpa_linguagem_manager;
extern GtkSourceLanguage *olpa_linguagem;

// File state.
extern int olpa_arquivo_temnome;
extern std::string olpa_nome_arquivo; // empty while no file was chosen

// Fixed texts and paths.
extern const char *const OLPA_TITULO; // "olpa v" and the project's version, from CMake
extern const char *const OLPA_TEXTO_INICIAL;
extern const char *const OLPA_CONSOLE_INICIAL;
extern const char *const OLPA_IMAGEM_INICIAL;
// Categories of the editor's marks on lines with errors and with warnings.
inline constexpr char OLPA_MARCA_ERRO[] = "erro";
inline constexpr char OLPA_MARCA_AVISO[] = "aviso";

// The command line (olpa_opcoes.cpp): --ajuda and --versao answered, the
// exit status then; -1 when the window is to open.
int olpa_opcoes(int argc, char **argv);

// The window.
void olpa_UI(int largura, int altura, const char *titulo);
void olpa_defs(void);
void olpa_console_erro(void);
void olpa_console_normal(void);
// Whether the console shows its error look.
bool olpa_console_em_erro(void);
gboolean olpa_destroi_janela(GtkWidget *janela, GdkEvent *evento, gpointer dados);
// A yes/no question titled "Confirmação" (ISO-8859-1 text); true on yes.
bool olpa_pergunta(GtkWindow *pai, const char *pergunta);
// The question of "Novo", and of whatever else replaces changes not saved:
// "Deseja abandonar todas as alterações?" in ISO-8859-1.
inline constexpr char OLPA_PERGUNTA_ABANDONAR[] = "Deseja abandonar todas as altera\xe7\xf5"
                                                  "es?";

// Button actions: run, clear, new.
void olpa_botao_executar(GtkWidget *botao, gpointer dados);
// Starts running `codigo` and returns; the outcome shows when the run ends.
void olpa_codigo_fonte(const char *codigo);
void olpa_limpa_tela_e_console(GtkWidget *botao, gpointer dados);
void olpa_limpa_codigo_e_console(void);
void olpa_confirma_limpar(GtkWidget *botao, gpointer janela);
// The one way a run's picture reaches the image view: `argb` (640 x 480 in
// cairo's ARGB32, copied), a frame of a run in progress or what a run left;
// null shows the start picture.
void olpa_mostra_imagem(const unsigned char *argb);
// The image view's canvas pictures (olpa_vista.cpp): its memory made and
// touched ahead; a canvas (640 x 480 ARGB32) shown, copied; and the picture
// the view shows, as a new pixbuf (null when it shows none).
void olpa_vista_prepara(void);
void olpa_vista_mostra(const unsigned char *argb);
GdkPixbuf *olpa_vista_pixbuf(void);
// Sends runs' console text, frames and error lines to the window, lets Esc
// stop a run, and readies the first run's child once the window is idle.
void olpa_liga_execucoes(void);
// Whether a run started by the window is in progress ("Rodar" reads "Parar").
bool olpa_rodando(void);
// The console's status line while a run goes on.
inline constexpr char OLPA_ESTADO_RODANDO[] = "[olpa] rodando…";
// Stops the run in progress, if any, as "Parar" does.
void olpa_para_execucao(void);

// The strip of steps under the picture (olpa_tira.cpp): a slider over the
// calls a run made and the step's text, Pausar (F6) and Passo (F7) beside
// it; the canvas after any step, the pen on it and its line in the editor;
// a click on the picture goes to the call that last painted that point,
// whose coordinates show while the mouse is over it.
struct OlpaTira {
  GtkWidget *caixa, *pausar, *passo, *barra, *texto, *coordenadas;
};
extern OlpaTira olpa_tira;
// Built under the picture, in `coluna`; `area_da_figura` takes the picture's
// clicks and moves.
void olpa_tira_cria(GtkWidget *coluna, GtkWidget *area_da_figura);
// A run begins; it stands paused (its record so far); it ended; Limpar.
void olpa_tira_comeca(void);
void olpa_tira_pausa(const struct ParserResultado &r);
void olpa_tira_da_execucao(const struct ParserResultado &r);
void olpa_tira_limpa(void);
// A click on the picture at (x, y) of the canvas (false: no steps to go to).
bool olpa_tira_vai_ao_ponto(int x, int y);
// The picture's part (olpa_tira_figura.cpp): its clicks and the mouse over
// `area`, the pen's mark over the picture.
void olpa_tira_liga_figura(GtkWidget *area);
// The step in view, the pen's mark (false: none) and the line highlighted.
uint32_t olpa_tira_passo_mostrado(void);
bool olpa_tira_caneta(double *x, double *y);
int olpa_tira_linha(void);

// The editor's marks (olpa_marcas.cpp): errors and warnings of a run on
// their lines, the editor scrolled to the first; a click on an "[erro]" or
// "[aviso]" line of the console goes to its line; replacing the whole text
// removes them.
void olpa_marcas_liga(void);
// The marks of a run that ended, and the lines of its console a click takes
// the cursor to.
void olpa_marcas_da_execucao(const struct ParserResultado &r);
void olpa_marca_erro(int linha);
void olpa_marca_aviso(int linha);
void olpa_limpa_marcas(void);
// Lines with a mark of `categoria`: how many, and which (for tests).
int olpa_linhas_marcadas(const char *categoria = OLPA_MARCA_ERRO);
std::vector<int> olpa_linhas_com_marca(const char *categoria);
// The editor's cursor on line `linha` (from 1), shown, with the focus.
void olpa_vai_para_linha(int linha);

// Code files.
void olpa_abrir(GtkWidget *botao, gpointer janela);
void olpa_salvar(GtkWidget *botao, gpointer janela);
int olpa_carrega_codigo(void);
bool olpa_salvar_codigo(void);
void olpa_aviso(const char *mensagem);
// Whether the editor holds changes not saved since the last load, save or "Novo".
bool olpa_codigo_modificado(void);

// Never losing the learner's code (olpa_recupera.cpp). Before anything
// replaces the editor's text: true when it has no changes not saved, or the
// learner, asked over `pai`, abandons them.
bool olpa_pode_substituir_codigo(GtkWindow *pai);
// The recovery copy: kept while the text has changes not saved, offered at
// the start after a window that ended without removing its copy; written
// now (or removed, with no changes); removed when the window ends normally.
void olpa_recupera_liga(void);
void olpa_recupera_grava(void);
void olpa_recupera_encerra(void);

// A warning dialog titled "Aviso" with a UTF-8 text.
void olpa_aviso_utf8(const char *mensagem);
// Keeps a file dialog within a small screen (and within this one).
void olpa_seletor_cabe_na_tela(GtkWidget *dialogo);

// The picture's right-click menu (olpa_figura.cpp): the menu as it would pop
// up now, hooked to the widget under the picture; saving the picture shown as
// PNG (false, after telling the learner why, when it could not) and copying
// it to the clipboard (false when the view shows no picture).
GtkWidget *olpa_figura_menu(void);
void olpa_figura_liga_menu(GtkWidget *area);
bool olpa_figura_salva(const char *caminho);
bool olpa_figura_copia(void);

// Font size of the editor and the console (olpa_zoom.cpp): Ctrl+plus,
// Ctrl+minus, Ctrl+0 and Ctrl+wheel, remembered in the user's configuration
// folder. Sizes in points; 0 is the desktop's own size.
void olpa_zoom_liga(void);
void olpa_zoom_carrega(void); // the size remembered, applied
int olpa_zoom_tamanho(void);
void olpa_zoom_define(int pontos);
void olpa_zoom_passo(int passos);

// The editor's C with olpa's functions (olpa_editor.cpp): the language
// definition found beside the program, completion of the learner functions,
// "}" back to its "{", and long lines that do not slow it down.
void olpa_editor_configura(void);
// Keeps a very long line from freezing the editor (olpa_linhas_longas.cpp).
void olpa_linhas_longas_liga(void);
// Offers the learner functions as the editor's completion (olpa_completar.cpp).
void olpa_completar_liga(GtkSourceView *editor);

// The help window "Ajuda do olpa" (olpa_ajuda.cpp), opened with F1.
void olpa_ajuda_mostra(void);
void olpa_ajuda_liga(void);         // F1 on the main window
GtkWidget *olpa_ajuda_janela(void); // null until first shown

// The pictures the build drew of the shipped examples, one NAME.png for each
// NAME.olp: the help's gallery and the preview of "Abrir" (olpa_previa.cpp).
inline constexpr char OLPA_FIGURAS_DOS_EXEMPLOS[] = "olpalib/ajuda/exemplos";
void olpa_previa_liga(GtkWidget *seletor);

// Helpers.
int olpa_tamanho_arquivo(const char *caminho);
char *olpa_utf8(const char *texto); // ISO-8859-1 to UTF-8; g_free the result
// The whole editor text, as a run or a save takes it.
const char *olpa_copia_codigo(void);

// A string GLib allocated (OlpaTexto, olpa_comum.h).
// The editor text of the last run or save, as GTK handed it (a 1 MB program
// is not copied again on its way to a run).
extern OlpaTexto olpa_codigo_texto;
// A GObject reference of our own.
struct OlpaGUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T> using OlpaObjeto = std::unique_ptr<T, OlpaGUnref>;
