// SPDX-License-Identifier: GPL-3.0-or-later
// The runner's public face: its settings, the probe, and the synchronous run
// (the asynchronous one in rodada.cpp, whose work lives in processo.cpp (the
// child's process), filho.cpp (inside the child) and desfecho.cpp (what came
// of it)).
#include "diagnosticos.h"
#include "execucao.h"
#include "fonte.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include <glib.h>

ParserAjustes parser_ajustes;
ParserTempos parser_tempos_atuais;

double parser_agora_ms() {
  return olpa_agora_ms();
}

bool parser_envia_com_descritores(int canal, const void *dados, size_t tamanho, const int *fds,
                                  int quantos) {
  std::vector<char> controle(CMSG_SPACE(sizeof(int) * quantos));
  iovec iov{const_cast<void *>(dados), tamanho};
  msghdr m{};
  m.msg_iov = &iov;
  m.msg_iovlen = 1;
  m.msg_control = controle.data();
  m.msg_controllen = controle.size();
  cmsghdr *c = CMSG_FIRSTHDR(&m);
  c->cmsg_level = SOL_SOCKET;
  c->cmsg_type = SCM_RIGHTS;
  c->cmsg_len = CMSG_LEN(sizeof(int) * quantos);
  memcpy(CMSG_DATA(c), fds, sizeof(int) * quantos);
  ssize_t n;
  while ((n = sendmsg(canal, &m, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return n == static_cast<ssize_t>(tamanho);
}

ssize_t parser_recebe_com_descritores(int canal, void *dados, size_t tamanho,
                                      std::vector<int> *fds) {
  char controle[CMSG_SPACE(sizeof(int) * 8)];
  iovec iov{dados, tamanho};
  msghdr m{};
  m.msg_iov = &iov;
  m.msg_iovlen = 1;
  m.msg_control = controle;
  m.msg_controllen = sizeof controle;
  ssize_t n;
  while ((n = recvmsg(canal, &m, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
  }
  for (cmsghdr *c = n >= 0 ? CMSG_FIRSTHDR(&m) : nullptr; c; c = CMSG_NXTHDR(&m, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
      continue;
    for (size_t i = 0; i < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); i++) {
      int fd;
      memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      fds->push_back(fd);
    }
  }
  return n;
}

namespace {

// `tamanho` bytes through `passa` (read or write), in as many goes as it takes.
template <typename Byte, typename Passa> bool tudo(int fd, Byte *p, size_t tamanho, Passa passa) {
  while (tamanho > 0) {
    const ssize_t n = passa(fd, p, tamanho);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    tamanho -= static_cast<size_t>(n);
  }
  return true;
}

} // namespace

bool parser_le_tudo(int fd, void *dados, size_t tamanho) {
  return tudo(fd, static_cast<char *>(dados), tamanho, read);
}

bool parser_escreve_tudo(int fd, const void *dados, size_t tamanho) {
  return tudo(fd, static_cast<const char *>(dados), tamanho, write);
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

void parser_define_registro(uint32_t chamadas, uint32_t textos) {
  const OlpaRegistroMedidas maximo;
  parser_ajustes.registro.chamadas = std::min(chamadas, maximo.chamadas);
  parser_ajustes.registro.textos = std::min(textos, maximo.textos);
}

void parser_define_quadros(const char *pasta) {
  parser_ajustes.quadros = pasta ? pasta : "";
}

void parser_comeca(const char *codigo, ParserOuvinte ouvinte, void *dados) {
  rodada_comeca(codigo, ouvinte, dados);
}

void parser_roda_ao_lado(const char *codigo, const ParserAoLado &ajustes, ParserOuvinte ouvinte,
                         void *dados) {
  AjustesDaRodada a;
  a.tempo_limite = ajustes.tempo_limite > 0 ? ajustes.tempo_limite : 10.0;
  a.sem_espera = ajustes.sem_espera;
  a.pasta = ajustes.pasta;
  a.registro = parser_ajustes.registro;
  rodada_ao_lado(codigo, a, ouvinte, dados);
}

int parser_ao_lado_em_curso(void) {
  return rodada_ao_lado_em_curso();
}

void parser_interrompe_ao_lado(void) {
  rodada_interrompe_ao_lado();
}

void parser_interrompe(void) {
  rodada_interrompe();
}

int parser_rodando(void) {
  return rodada_em_curso() ? 1 : 0;
}

void parser_pausa(void) {
  rodada_pausa();
}

void parser_passo(void) {
  rodada_passo();
}

void parser_continua(void) {
  rodada_continua();
}

int parser_pausado(void) {
  return rodada_pausada() ? 1 : 0;
}

const ParserResultado &parser_ultimo_resultado(void) {
  return rodada_ultimo();
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
    return 0;
  }
  return 1;
}

namespace {

ParserResultado *resultado_sincrono;

void guarda_resultado(const ParserResultado &r, ParserMomento momento, void *) {
  if (momento == ParserMomento::Fim)
    *resultado_sincrono = r;
}

} // namespace

int parser_executa(const char *codigo, ParserResultado *resultado) {
  ParserResultado proprio;
  resultado_sincrono = resultado ? resultado : &proprio;
  GMainContext *contexto = g_main_context_new();
  g_main_context_push_thread_default(contexto);
  // Nobody here shows its picture: it is not read back from its file.
  rodada_comeca(codigo, guarda_resultado, nullptr, false);
  while (parser_rodando())
    g_main_context_iteration(contexto, TRUE);
  g_main_context_pop_thread_default(contexto);
  g_main_context_unref(contexto);
  return resultado_sincrono->sucesso ? 1 : 0;
}

int parser_linha_da_abertura(const char *texto, size_t ate) {
  return fonte_linha_da_abertura(texto, ate);
}

std::vector<std::string> parser_avisos_descartados() {
  return diagnosticos_avisos_descartados();
}

void parser_define_avisos_do_compilador(bool mostrar) {
  diagnosticos_define_avisos(mostrar);
}
