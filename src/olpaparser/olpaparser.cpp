// The runner's public face: its settings, the probe, and the synchronous run
// (the asynchronous one in rodada.cpp, whose work lives in processo.cpp (the
// child's process), filho.cpp (inside the child) and desfecho.cpp (what came
// of it)).
#include "parser_interno.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include <glib.h>

ParserAjustes parser_ajustes;
ParserTempos parser_tempos_atuais;

double parser_agora_ms() {
  return g_get_monotonic_time() / 1000.0;
}

bool parser_escreve_tudo(int fd, const void *dados, size_t tamanho) {
  auto *p = static_cast<const char *>(dados);
  while (tamanho > 0) {
    const ssize_t n = write(fd, p, tamanho);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    tamanho -= static_cast<size_t>(n);
  }
  return true;
}

void parser_define_saida(const ParserSaida &saida) {
  parser_ajustes.saida = saida;
}

void parser_define_trace(int fd) {
  parser_ajustes.fd_trace = fd;
}

void parser_define_tempo_limite(double s) {
  parser_ajustes.tempo_limite = s > 0 ? s : 10.0;
}

void parser_define_sem_espera(bool sem_espera) {
  parser_ajustes.sem_espera = sem_espera;
}

void parser_define_quadros(const char *pasta) {
  parser_ajustes.quadros = pasta ? pasta : "";
}

void parser_prepara_zigoto(void) {
  zigoto_inicia();
}

void parser_prepara(void) {
  processo_prepara();
}

int parser_zigoto(void) {
  return zigoto_pid();
}

void parser_encerra(void) {
  parser_interrompe();
  processo_descarta_preparado();
  zigoto_encerra();
}

int parser_inicia(void) {
  TccPtr s(tcc_new());
  if (!s) {
    if (parser_ajustes.saida.console_substitui)
      parser_ajustes.saida.console_substitui("[erro fatal] linguagem olpa ausente.\n");
    return 0;
  }
  return 1;
}

namespace {

int resultado_sincrono;

void guarda_resultado(int resultado) {
  resultado_sincrono = resultado;
}

} // namespace

int parser_executa(const char *codigo) {
  GMainContext *contexto = g_main_context_new();
  g_main_context_push_thread_default(contexto);
  resultado_sincrono = 0;
  parser_comeca(codigo, {nullptr, guarda_resultado});
  while (parser_rodando())
    g_main_context_iteration(contexto, TRUE);
  g_main_context_pop_thread_default(contexto);
  g_main_context_unref(contexto);
  return resultado_sincrono;
}
