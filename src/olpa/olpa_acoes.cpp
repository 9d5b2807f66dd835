// SPDX-License-Identifier: GPL-3.0-or-later
// The run, clear and new actions of the button bar, and the clearing of the
// screen that "Limpar", "Novo" and a loaded file share.
#include "olpa_acoes.h"

#include "olpa.h"
#include "olpa_console.h"
#include "olpa_dialogos.h"
#include "olpa_execucao.h"
#include "olpa_marcas.h"
#include "olpa_tira.h"
#include "olpa_vista.h"
#include "olpagfx.h"

#include <cstdio>

void olpa_botao_executar(GtkWidget *, gpointer dados) {
  Olpa &janela = *static_cast<Olpa *>(dados);
  if (olpa_execucao_clique_repetido())
    return;
  if (olpa_rodando()) {
    // "Parar"; its shortcuts stop and start the editor's text again.
    const bool de_novo = olpa_execucao_por_atalho();
    olpa_para_execucao();
    if (!de_novo)
      return;
  }
  olpa_codigo_fonte(olpa_copia_codigo(janela));
}

const char *olpa_copia_codigo(Olpa &janela) {
  GtkTextBuffer *codigo = janela.ui.olpa_campo_codigo_buffer;
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(codigo, &inicio, &fim);
  janela.sessao.olpa_codigo_texto.reset(gtk_text_buffer_get_text(codigo, &inicio, &fim, FALSE));
  return janela.sessao.olpa_codigo_texto.get();
}

void olpa_limpa_tela(OlpaUI &ui) {
  olpa_para_execucao();
  gtk_text_buffer_set_text(ui.olpa_campo_console_buffer, OLPA_CONSOLE_INICIAL, -1);
  olpa_mostra_imagem(nullptr);
  olpa_console_normal();
  olpa_limpa_marcas();
  olpa_tira_limpa();
  if (olpa_tamanho_arquivo(OLPA_ARQUIVO_PADRAO) >= 1)
    remove(OLPA_ARQUIVO_PADRAO);
  olpa_gfx_defs();
}

void olpa_limpa_tela_e_console(GtkWidget *, gpointer dados) {
  Olpa &janela = *static_cast<Olpa *>(dados);
  olpa_limpa_tela(janela.ui);
  olpa_defs(janela.sessao); // unnamed again: "Salvar" asks for a name
}

void olpa_limpa_codigo_e_console(Olpa &janela) {
  gtk_text_buffer_set_text(janela.ui.olpa_campo_codigo_buffer, OLPA_TEXTO_INICIAL, -1);
  gtk_text_buffer_set_modified(janela.ui.olpa_campo_codigo_buffer, FALSE);
  olpa_limpa_tela_e_console(nullptr, &janela);
}

void olpa_confirma_limpar(GtkWidget *, gpointer dados) {
  Olpa &janela = *static_cast<Olpa *>(dados);
  olpa_para_execucao();
  if (olpa_pergunta(GTK_WINDOW(janela.ui.olpa_janela), OLPA_PERGUNTA_ABANDONAR))
    olpa_limpa_codigo_e_console(janela);
}

int olpa_tamanho_arquivo(const char *caminho) {
  // Regular files only: opening a pipe to measure it would block the window.
  return olpa_gfx_tamanho_arquivo(caminho);
}
