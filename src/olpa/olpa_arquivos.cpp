// SPDX-License-Identifier: GPL-3.0-or-later
// Code files: "Abrir" and "Salvar". The learner's code is never lost: a file
// that cannot be loaded leaves the editor as it was, a save replaces the old
// file only once the new one is completely written, and nothing is saved
// that could not be loaded again.
#include "olpa.h"
#include "olpa_layout.h"
#include "olpa_motivos.h"
#include "olpaparser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <glib/gstdio.h>
#include <unistd.h>

namespace {

const char PASTA_EXEMPLOS[] = "../exemplos";

// "Arquivo inválido!" in ISO-8859-1, as olpa_aviso expects.
const char ARQUIVO_INVALIDO[] = "Arquivo inv\xe1lido!";

} // namespace

void olpa_aviso_utf8(const char *mensagem) {
  GtkWidget *dialogo =
      gtk_message_dialog_new(GTK_WINDOW(olpa_janela), GTK_DIALOG_DESTROY_WITH_PARENT,
                             GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", mensagem);
  gtk_window_set_title(GTK_WINDOW(dialogo), "Aviso");
  // A long file name is one word: let it break, or the reason after it ends
  // up beyond the edge of the screen.
  GtkWidget *area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialogo));
  GList *filhos = gtk_container_get_children(GTK_CONTAINER(area));
  for (GList *l = filhos; l; l = l->next)
    if (GTK_IS_LABEL(l->data))
      gtk_label_set_line_wrap_mode(GTK_LABEL(l->data), PANGO_WRAP_WORD_CHAR);
  g_list_free(filhos);
  gtk_dialog_run(GTK_DIALOG(dialogo));
  gtk_widget_destroy(dialogo);
}

void olpa_seletor_cabe_na_tela(GtkWidget *dialogo) {
  // GTK sizes a file chooser from its font and what it last saw, larger than
  // a school's 1366 x 768 screen; no larger than the screen's work area either.
  GdkGeometry limite{};
  limite.max_width = OLPA_SELETOR_LARGURA_MAXIMA;
  limite.max_height = OLPA_SELETOR_ALTURA_MAXIMA;
  GdkMonitor *monitor = gdk_display_get_monitor_at_window(gdk_display_get_default(),
                                                          gtk_widget_get_window(olpa_janela));
  if (monitor) {
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    limite.max_width = MIN(limite.max_width, area.width);
    limite.max_height = MIN(limite.max_height, area.height);
  }
  gtk_window_set_geometry_hints(GTK_WINDOW(dialogo), nullptr, &limite, GDK_HINT_MAX_SIZE);
}

namespace {

GtkWidget *cria_seletor(const char *titulo, GtkFileChooserAction acao, const char *aceitar) {
  GtkWidget *dialogo =
      gtk_file_chooser_dialog_new(titulo, GTK_WINDOW(olpa_janela), acao, "_Cancelar",
                                  GTK_RESPONSE_CANCEL, aceitar, GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileFilter *filtro = gtk_file_filter_new();
  gtk_file_filter_set_name(filtro, "Arquivos do olpa (*.olp)");
  gtk_file_filter_add_pattern(filtro, "*.olp");
  gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialogo), filtro);
  olpa_seletor_cabe_na_tela(dialogo);
  return dialogo;
}

void abre_em_exemplos(GtkWidget *dialogo) {
  OlpaTexto pasta(g_canonicalize_filename(PASTA_EXEMPLOS, nullptr));
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialogo), pasta.get());
}

// GTK selects only a file that exists; a known file that is gone, or was never
// written, is offered by its folder and name instead.
void oferece_arquivo(GtkWidget *dialogo, const std::string &caminho) {
  GtkFileChooser *seletor = GTK_FILE_CHOOSER(dialogo);
  if (g_file_test(caminho.c_str(), G_FILE_TEST_IS_REGULAR)) {
    gtk_file_chooser_set_filename(seletor, caminho.c_str());
    return;
  }
  OlpaTexto pasta(g_path_get_dirname(caminho.c_str()));
  OlpaTexto nome(g_filename_display_basename(caminho.c_str()));
  if (!gtk_file_chooser_set_current_folder(seletor, pasta.get()))
    abre_em_exemplos(dialogo);
  gtk_file_chooser_set_current_name(seletor, nome.get());
}

std::string escolhido(GtkWidget *dialogo) {
  OlpaTexto nome(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialogo)));
  return nome ? nome.get() : "";
}

const char *motivo(const GError *erro) {
  const char *texto = olpa_motivo_arquivo(static_cast<GFileError>(erro->code));
  return texto ? texto : erro->message;
}

} // namespace

void olpa_aviso(const char *mensagem) {
  OlpaTexto convertida(olpa_utf8(mensagem));
  olpa_aviso_utf8(convertida ? convertida.get() : mensagem);
}

bool olpa_codigo_modificado(void) {
  return gtk_text_buffer_get_modified(olpa_campo_codigo_buffer);
}

void olpa_abrir(GtkWidget *, gpointer) {
  olpa_para_execucao();
  GtkWidget *dialogo = cria_seletor("Abrir", GTK_FILE_CHOOSER_ACTION_OPEN, "_Abrir");
  olpa_previa_liga(dialogo);
  abre_em_exemplos(dialogo);
  if (gtk_dialog_run(GTK_DIALOG(dialogo)) == GTK_RESPONSE_ACCEPT &&
      olpa_pode_substituir_codigo(GTK_WINDOW(dialogo))) {
    olpa_nome_arquivo = escolhido(dialogo);
    printf("olp: %s\n", olpa_nome_arquivo.c_str());
    olpa_carrega_codigo();
  }
  gtk_widget_destroy(dialogo);
}

int olpa_carrega_codigo(void) {
  printf("arquivo a abrir: %s\n", olpa_nome_arquivo.c_str());
  // The same reading as olpa-rodar's: encodings, line ends, size, never a pipe.
  std::string texto, motivo_recusa;
  if (!parser_le_codigo(olpa_nome_arquivo.c_str(), &texto, &motivo_recusa)) {
    printf("recusado: %s\n", motivo_recusa.c_str());
    olpa_aviso(ARQUIVO_INVALIDO);
    return 0;
  }
  printf("tamanho: %d\n", static_cast<int>(texto.size()));
  printf("%s\n\n", texto.c_str());
  fflush(stdout);
  // Undoable in one step: one more way back to work a load replaced.
  gtk_text_buffer_begin_user_action(olpa_campo_codigo_buffer);
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, texto.c_str(), -1);
  gtk_text_buffer_end_user_action(olpa_campo_codigo_buffer);
  olpa_limpa_tela_e_console(nullptr, nullptr);
  olpa_arquivo_temnome = 1;
  gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, FALSE);
  return 1;
}

void olpa_salvar(GtkWidget *, gpointer) {
  GtkWidget *dialogo = cria_seletor("Salvar", GTK_FILE_CHOOSER_ACTION_SAVE, "_Salvar");
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialogo), TRUE);
  printf("arquivo a salvar: %s\n",
         olpa_nome_arquivo.empty() ? "(nenhum)" : olpa_nome_arquivo.c_str());
  if (olpa_arquivo_temnome) {
    printf("salvando arquivo já conhecido: %s\n", olpa_nome_arquivo.c_str());
    oferece_arquivo(dialogo, olpa_nome_arquivo);
  } else {
    puts("escolhendo novo arquivo...");
    abre_em_exemplos(dialogo);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialogo), "meuprojeto.olp");
  }
  fflush(stdout);
  if (gtk_dialog_run(GTK_DIALOG(dialogo)) == GTK_RESPONSE_ACCEPT) {
    olpa_nome_arquivo = escolhido(dialogo);
    olpa_arquivo_temnome = 1;
    olpa_salvar_codigo();
  }
  gtk_widget_destroy(dialogo);
}

bool olpa_salvar_codigo(void) {
  const char *texto = olpa_copia_codigo();
  OlpaTexto nome(g_filename_display_name(olpa_nome_arquivo.c_str()));
  // What could not be opened again is not saved: the learner would think it safe.
  if (strlen(texto) > PARSER_LIMITE_CODIGO) {
    OlpaTexto mensagem(g_strdup_printf("O programa tem mais de 1 MiB e não poderia ser aberto de "
                                       "novo; o arquivo \"%s\" não foi salvo.",
                                       nome.get()));
    olpa_aviso_utf8(mensagem.get());
    return false;
  }
  // The new text replaces the file a link points to, not the link, and keeps
  // the file's permissions.
  std::string destino = olpa_nome_arquivo;
  int modo = 0666;
  GStatBuf info;
  const bool existe = g_stat(destino.c_str(), &info) == 0;
  // A device, a pipe or a folder is never replaced by a code file.
  const char *recusa = existe && !S_ISREG(info.st_mode) ? "não é um arquivo comum" : nullptr;
  if (existe) {
    modo = info.st_mode & 07777;
    std::unique_ptr<char, decltype(&free)> real(realpath(destino.c_str(), nullptr), free);
    if (real)
      destino = real.get();
  }
  GError *erro = nullptr;
  // The rename that replaces the file ignores the file's own write
  // permission; a read-only file must still say no.
  if (!recusa && existe && g_access(destino.c_str(), W_OK) != 0)
    recusa = "sem permissão para escrever";
  if (recusa || !g_file_set_contents_full(
                    destino.c_str(), texto, static_cast<gssize>(strlen(texto)),
                    static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT |
                                                       G_FILE_SET_CONTENTS_ONLY_EXISTING),
                    modo, &erro)) {
    OlpaTexto mensagem(g_strdup_printf("Não foi possível salvar o arquivo \"%s\": %s.", nome.get(),
                                       recusa ? recusa : motivo(erro)));
    if (erro)
      g_error_free(erro);
    olpa_aviso_utf8(mensagem.get());
    return false;
  }
  gtk_text_buffer_insert_at_cursor(olpa_campo_console_buffer, "[olpa] arquivo salvo.\n", -1);
  gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, FALSE);
  return true;
}
