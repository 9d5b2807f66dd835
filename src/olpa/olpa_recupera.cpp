// SPDX-License-Identifier: GPL-3.0-or-later
// Never losing the learner's code: the question before anything replaces
// changes not saved, and a recovery copy of the editor's text, kept in the
// user's data folder while the text has such changes (a few seconds after
// typing stops, and at every "Rodar"), offered at the next start after a
// crash, a power cut or a killed window. A save, a load, "Novo" or leaving
// without saving removes it.
#include "olpa.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <glib/gstdio.h>
#include <unistd.h>

namespace {

guint espera_ms = 2000; // after the last change
const char GRUPO[] = "recuperacao";
const char PREFIXO[] = "janela-", SUFIXO[] = ".ini";
// "Recuperar o programa que não foi salvo?" in ISO-8859-1.
const char PERGUNTA[] = "Recuperar o programa que n\xe3o foi salvo?";

guint temporizador;
std::string gravado; // the copy on disk: file name, then text; empty when none

std::string pasta() {
  OlpaTexto p(g_build_filename(g_get_user_data_dir(), "olpa", "recuperacao", nullptr));
  return p.get();
}

std::string copia_de(long pid) {
  return pasta() + "/" + PREFIXO + std::to_string(pid) + SUFIXO;
}

std::string propria() {
  return copia_de(static_cast<long>(getpid()));
}

std::string texto_do_editor() {
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(olpa_campo_codigo_buffer, &inicio, &fim);
  OlpaTexto t(gtk_text_buffer_get_text(olpa_campo_codigo_buffer, &inicio, &fim, FALSE));
  return t.get();
}

void remove_propria() {
  if (temporizador)
    g_source_remove(temporizador);
  temporizador = 0;
  if (!gravado.empty())
    g_remove(propria().c_str());
  gravado.clear();
}

gboolean ao_parar_de_digitar(gpointer) {
  temporizador = 0;
  olpa_recupera_grava();
  return G_SOURCE_REMOVE;
}

void ao_mudar(GtkTextBuffer *, gpointer) {
  if (temporizador)
    g_source_remove(temporizador);
  temporizador = g_timeout_add(espera_ms, ao_parar_de_digitar, nullptr);
}

void ao_mudar_modificado(GtkTextBuffer *buffer, gpointer) {
  if (!gtk_text_buffer_get_modified(buffer))
    remove_propria();
}

// A window still open has its process running olpa; any other copy was left
// by a window that ended without removing it.
bool de_janela_aberta(long pid) {
  if (pid == static_cast<long>(getpid()))
    return true;
  if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
    return false;
  gchar *nome = nullptr;
  const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
  if (!g_file_get_contents(comm.c_str(), &nome, nullptr, nullptr))
    return true;
  OlpaTexto dono(nome);
  return strcmp(g_strstrip(nome), "olpa") == 0;
}

struct Copia {
  std::string caminho, arquivo, texto;
  gint64 quando = 0;
};

// The newest copy left by a window that is gone, if any.
bool copia_deixada(Copia *achada) {
  GDir *dir = g_dir_open(pasta().c_str(), 0, nullptr);
  if (!dir)
    return false;
  bool achou = false;
  while (const char *nome = g_dir_read_name(dir)) {
    if (!g_str_has_prefix(nome, PREFIXO) || !g_str_has_suffix(nome, SUFIXO))
      continue;
    char *fim = nullptr;
    const long pid = strtol(nome + strlen(PREFIXO), &fim, 10);
    if (pid <= 0 || strcmp(fim, SUFIXO) != 0 || de_janela_aberta(pid))
      continue;
    Copia c;
    c.caminho = pasta() + "/" + nome;
    GStatBuf info;
    if (g_stat(c.caminho.c_str(), &info) != 0)
      continue;
    c.quando = info.st_mtime;
    if (achou && c.quando < achada->quando)
      continue;
    GKeyFile *chaves = g_key_file_new();
    if (g_key_file_load_from_file(chaves, c.caminho.c_str(), G_KEY_FILE_NONE, nullptr)) {
      OlpaTexto arquivo(g_key_file_get_string(chaves, GRUPO, "arquivo", nullptr));
      OlpaTexto texto(g_key_file_get_string(chaves, GRUPO, "texto", nullptr));
      if (texto) {
        c.arquivo = arquivo ? arquivo.get() : "";
        c.texto = texto.get();
        *achada = c;
        achou = true;
      }
    }
    g_key_file_free(chaves);
  }
  g_dir_close(dir);
  return achou;
}

// Whether the copy holds nothing more than what was last saved (or, with no
// file, than the text every start shows).
bool igual_ao_salvo(const Copia &c) {
  if (c.arquivo.empty())
    return c.texto == OLPA_TEXTO_INICIAL;
  gchar *salvo = nullptr;
  gsize n = 0;
  if (!g_file_get_contents(c.arquivo.c_str(), &salvo, &n, nullptr))
    return false;
  OlpaTexto dono(salvo);
  return c.texto == std::string(salvo, n);
}

gboolean oferece(gpointer) {
  Copia c;
  if (!copia_deixada(&c))
    return G_SOURCE_REMOVE;
  if (!igual_ao_salvo(c) && olpa_pergunta(GTK_WINDOW(olpa_janela), PERGUNTA)) {
    gtk_text_buffer_begin_user_action(olpa_campo_codigo_buffer);
    gtk_text_buffer_set_text(olpa_campo_codigo_buffer, c.texto.c_str(), -1);
    gtk_text_buffer_end_user_action(olpa_campo_codigo_buffer);
    gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, TRUE);
    olpa_nome_arquivo = c.arquivo;
    olpa_arquivo_temnome = c.arquivo.empty() ? 0 : 1;
    olpa_recupera_grava(); // this window's own copy, before the old one goes
  }
  g_remove(c.caminho.c_str());
  return G_SOURCE_REMOVE;
}

} // namespace

void olpa_recupera_liga(void) {
  // Another wait, for the window's own tests.
  if (const char *espera = getenv("OLPA_RECUPERA_ESPERA_MS"))
    espera_ms = static_cast<guint>(atoi(espera));
  g_signal_connect(olpa_campo_codigo_buffer, "changed", G_CALLBACK(ao_mudar), nullptr);
  g_signal_connect(olpa_campo_codigo_buffer, "modified-changed", G_CALLBACK(ao_mudar_modificado),
                   nullptr);
  // At every Rodar, as the run starts: the text kept is the text run.
  g_signal_connect(olpa_bt_executar, "clicked",
                   G_CALLBACK(+[](GtkButton *, gpointer) { olpa_recupera_grava(); }), nullptr);
  g_idle_add(oferece, nullptr);
}

void olpa_recupera_grava(void) {
  if (!gtk_text_buffer_get_modified(olpa_campo_codigo_buffer)) {
    remove_propria();
    return;
  }
  const std::string arquivo = olpa_arquivo_temnome ? olpa_nome_arquivo : "";
  const std::string texto = texto_do_editor();
  std::string conteudo = arquivo + '\0' + texto;
  if (conteudo == gravado)
    return;
  GKeyFile *chaves = g_key_file_new();
  g_key_file_set_string(chaves, GRUPO, "arquivo", arquivo.c_str());
  g_key_file_set_string(chaves, GRUPO, "texto", texto.c_str());
  gsize n = 0;
  OlpaTexto dados(g_key_file_to_data(chaves, &n, nullptr));
  g_key_file_free(chaves);
  // Written whole or not at all: a crash while writing leaves the last copy.
  g_mkdir_with_parents(pasta().c_str(), 0700);
  if (g_file_set_contents_full(propria().c_str(), dados.get(), static_cast<gssize>(n),
                               G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr))
    gravado = std::move(conteudo);
}

void olpa_recupera_encerra(void) {
  remove_propria();
}

bool olpa_pode_substituir_codigo(GtkWindow *pai) {
  return !olpa_codigo_modificado() || olpa_pergunta(pai, OLPA_PERGUNTA_ABANDONAR);
}
