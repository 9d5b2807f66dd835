// SPDX-License-Identifier: GPL-3.0-or-later
// Code files (see olpa_arquivos.h): the two file dialogs, the load and the
// write.
#include "olpa_arquivos.h"

#include "olpa.h"
#include "olpa_acoes.h"
#include "olpa_dialogos.h"
#include "olpa_execucao.h"
#include "olpa_motivos.h"
#include "olpa_previa.h"
#include "olpa_recupera.h"
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

GtkWidget *cria_seletor(GtkWindow *pai, const char *titulo, GtkFileChooserAction acao,
                        const char *aceitar) {
  GtkWidget *dialogo = gtk_file_chooser_dialog_new(
      titulo, pai, acao, "_Cancelar", GTK_RESPONSE_CANCEL, aceitar, GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileFilter *filtro = gtk_file_filter_new();
  gtk_file_filter_set_name(filtro, "Arquivos do olpa (*.olp)");
  gtk_file_filter_add_pattern(filtro, "*.olp");
  gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialogo), filtro);
  olpa_seletor_cabe_na_tela(dialogo, pai);
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

bool olpa_codigo_modificado(const OlpaUI &ui) {
  return gtk_text_buffer_get_modified(ui.olpa_campo_codigo_buffer);
}

void olpa_abrir(GtkWidget *, gpointer dados) {
  Olpa &janela = *static_cast<Olpa *>(dados);
  olpa_para_execucao();
  GtkWindow *pai = GTK_WINDOW(janela.ui.olpa_janela);
  GtkWidget *dialogo = cria_seletor(pai, "Abrir", GTK_FILE_CHOOSER_ACTION_OPEN, "_Abrir");
  olpa_previa_liga(dialogo);
  abre_em_exemplos(dialogo);
  if (gtk_dialog_run(GTK_DIALOG(dialogo)) == GTK_RESPONSE_ACCEPT &&
      olpa_pode_substituir_codigo(GTK_WINDOW(dialogo), janela.ui))
    olpa_abre_arquivo(janela, escolhido(dialogo));
  gtk_widget_destroy(dialogo);
}

int olpa_abre_arquivo(Olpa &janela, const std::string &caminho) {
  // Accepted: the name it had is gone, whether or not this one loads (the
  // next "Salvar" of a named program offers the file that failed).
  janela.sessao.olpa_nome_arquivo = caminho;
  printf("olp: %s\n", caminho.c_str());
  return olpa_carrega_codigo(janela, caminho);
}

int olpa_carrega_codigo(Olpa &janela, const std::string &caminho) {
  GtkTextBuffer *codigo = janela.ui.olpa_campo_codigo_buffer;
  printf("arquivo a abrir: %s\n", caminho.c_str());
  // The same reading as olpa-rodar's: encodings, line ends, size, never a pipe.
  std::string texto, motivo_recusa;
  if (!parser_le_codigo(caminho.c_str(), &texto, &motivo_recusa)) {
    printf("recusado: %s\n", motivo_recusa.c_str());
    olpa_aviso(GTK_WINDOW(janela.ui.olpa_janela), ARQUIVO_INVALIDO);
    return 0;
  }
  printf("tamanho: %d\n", static_cast<int>(texto.size()));
  printf("%s\n\n", texto.c_str());
  fflush(stdout);
  // Undoable in one step: one more way back to work a load replaced.
  gtk_text_buffer_begin_user_action(codigo);
  gtk_text_buffer_set_text(codigo, texto.c_str(), -1);
  gtk_text_buffer_end_user_action(codigo);
  olpa_limpa_tela(janela.ui);
  janela.sessao.olpa_arquivo_temnome = 1; // the program is that file's now
  gtk_text_buffer_set_modified(codigo, FALSE);
  return 1;
}

void olpa_salvar(GtkWidget *, gpointer dados) {
  Olpa &janela = *static_cast<Olpa *>(dados);
  OlpaSessao &sessao = janela.sessao;
  GtkWidget *dialogo = cria_seletor(GTK_WINDOW(janela.ui.olpa_janela), "Salvar",
                                    GTK_FILE_CHOOSER_ACTION_SAVE, "_Salvar");
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialogo), TRUE);
  printf("arquivo a salvar: %s\n",
         sessao.olpa_nome_arquivo.empty() ? "(nenhum)" : sessao.olpa_nome_arquivo.c_str());
  if (sessao.olpa_arquivo_temnome) {
    printf("salvando arquivo já conhecido: %s\n", sessao.olpa_nome_arquivo.c_str());
    oferece_arquivo(dialogo, sessao.olpa_nome_arquivo);
  } else {
    puts("escolhendo novo arquivo...");
    abre_em_exemplos(dialogo);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialogo), "meuprojeto.olp");
  }
  fflush(stdout);
  if (gtk_dialog_run(GTK_DIALOG(dialogo)) == GTK_RESPONSE_ACCEPT) {
    sessao.olpa_nome_arquivo = escolhido(dialogo);
    sessao.olpa_arquivo_temnome = 1;
    olpa_salvar_codigo(janela);
  }
  gtk_widget_destroy(dialogo);
}

bool olpa_salvar_codigo(Olpa &janela) {
  GtkWindow *pai = GTK_WINDOW(janela.ui.olpa_janela);
  const char *texto = olpa_copia_codigo(janela);
  OlpaTexto nome(g_filename_display_name(janela.sessao.olpa_nome_arquivo.c_str()));
  // What could not be opened again is not saved: the learner would think it safe.
  if (strlen(texto) > PARSER_LIMITE_CODIGO) {
    OlpaTexto mensagem(g_strdup_printf("O programa tem mais de 1 MiB e não poderia ser aberto de "
                                       "novo; o arquivo \"%s\" não foi salvo.",
                                       nome.get()));
    olpa_aviso_utf8(pai, mensagem.get());
    return false;
  }
  // The new text replaces the file a link points to, not the link, and keeps
  // the file's permissions.
  std::string destino = janela.sessao.olpa_nome_arquivo;
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
    olpa_aviso_utf8(pai, mensagem.get());
    return false;
  }
  gtk_text_buffer_insert_at_cursor(janela.ui.olpa_campo_console_buffer, "[olpa] arquivo salvo.\n",
                                   -1);
  gtk_text_buffer_set_modified(janela.ui.olpa_campo_codigo_buffer, FALSE);
  return true;
}
