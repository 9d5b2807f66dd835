// SPDX-License-Identifier: GPL-3.0-or-later
// The analyser's process as its starter sees it: started on the first
// request, fed one text at a time through a pipe that never blocks this
// side, its answers read as they come, killed when one analysis takes
// longer than its limit (and started again for the next text).
#include "analise.h"

#include "analise_protocolo.h"
#include "explicacoes.h"
#include "nomes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// An analysis that takes longer is stopped: a program made to keep clang
// busy must not keep the analyser from the next text.
int limite_ms() {
  const char *v = getenv("OLPA_ANALISE_LIMITE_MS");
  return v && atoi(v) > 0 ? atoi(v) : 4000;
}

struct Pedido {
  unsigned long sequencia = 0;
  std::string codigo;
  AnaliseRetorno retorno = nullptr;
  void *dados = nullptr;
  gint64 desde = 0; // when it went to the analyser (monotonic microseconds)
};

struct Servidor {
  GPid pid = 0;
  int entrada = -1, saida = -1; // its standard input and output
  std::string pasta;            // its temporary folder
  std::string a_enviar;         // what its input has not taken yet
  std::string lido;             // what came from it, not yet a whole line
  bool pronto = false;
  guint vigia = 0, relogio = 0; // the main loop's watch of its output, and of the time
};

Servidor servidor;
std::string desligada; // why there is no analysis; empty while there is
unsigned long sequencias = 0;
bool em_curso = false;            // a request is with the analyser
Pedido atual;                     // ... that one (or the last one sent)
bool tem_proximo = false;         // a newer text waits for it
Pedido proximo;                   // ... that one
std::vector<AnaliseBruto> brutos; // the current answer so far
bool tem_ultimo = false;          // the last text analysed, and its result
std::string ultimo_codigo;
AnaliseResultado ultimo;

// Beside this program (the window's folder), or where an installed
// olpa-rodar (in bin/) finds the window's folder (lib/olpa/).
std::string executavel() {
  if (const char *v = getenv("OLPA_ANALISA"))
    return v;
  gchar *eu = g_file_read_link("/proc/self/exe", nullptr);
  gchar *pasta = g_path_get_dirname(eu ? eu : ".");
  std::string caminho = std::string(pasta) + "/olpa-analisa";
  if (!g_file_test(caminho.c_str(), G_FILE_TEST_IS_EXECUTABLE))
    caminho = std::string(pasta) + "/../lib/olpa/olpa-analisa";
  g_free(pasta);
  g_free(eu);
  return caminho;
}

void remove_pasta(const std::string &pasta) {
  if (pasta.empty())
    return;
  if (GDir *d = g_dir_open(pasta.c_str(), 0, nullptr)) {
    while (const char *nome = g_dir_read_name(d))
      unlink((pasta + "/" + nome).c_str());
    g_dir_close(d);
  }
  rmdir(pasta.c_str());
}

void para_servidor() {
  if (servidor.vigia)
    g_source_remove(servidor.vigia);
  if (servidor.relogio)
    g_source_remove(servidor.relogio);
  if (servidor.pid > 0) {
    kill(servidor.pid, SIGKILL);
    waitpid(servidor.pid, nullptr, 0);
  }
  if (servidor.entrada >= 0)
    close(servidor.entrada);
  if (servidor.saida >= 0)
    close(servidor.saida);
  remove_pasta(servidor.pasta);
  servidor = Servidor{};
  em_curso = false;
  brutos.clear();
}

gboolean ao_ler(gint, GIOCondition, gpointer);
void envia(Pedido pedido);

void entrega(const Pedido &pedido, AnaliseResultado resultado) {
  std::stable_sort(resultado.achados.begin(), resultado.achados.end(),
                   [](const AnaliseAchado &a, const AnaliseAchado &b) {
                     return a.linha != b.linha ? a.linha < b.linha : a.coluna < b.coluna;
                   });
  tem_ultimo = true;
  ultimo_codigo = pedido.codigo;
  ultimo = resultado;
  if (pedido.retorno)
    pedido.retorno(ultimo, pedido.dados);
}

// The answer to the current request is over (or will never come).
void termina_pedido(AnaliseEstado estado) {
  AnaliseResultado r;
  r.estado = estado;
  if (estado == AnaliseEstado::Feita)
    for (const AnaliseBruto &b : brutos) {
      // Of the functions of a program without main, only one named nearly so.
      if (b.opcao == ANALISE_OPCAO_SEM_MAIN && nomes_sugestao(b.mensagem, {"main"}) != "main")
        continue;
      const Explicacao e = explicacoes_explica(b, atual.codigo);
      r.achados.push_back({b.erro, b.linha, b.coluna, b.linha_fim ? b.linha_fim : b.linha,
                           b.linha_fim ? b.coluna_fim : b.coluna, b.opcao, e.texto,
                           e.no_lugar_da_nota ? e.linha_da_nota : 0});
    }
  brutos.clear();
  em_curso = false;
  if (servidor.relogio)
    g_source_remove(servidor.relogio);
  servidor.relogio = 0;
  const Pedido feito = atual;
  if (tem_proximo) {
    // A newer text came meanwhile: this answer is of no use.
    tem_proximo = false;
    envia(proximo);
    return;
  }
  entrega(feito, r);
}

int numero(const gchar *t) {
  return t ? atoi(t) : 0;
}

void le_linha(const std::string &linha) {
  gchar **campos = g_strsplit(linha.c_str(), "\t", 8);
  const guint n = g_strv_length(campos);
  if (n >= 1 && strcmp(campos[0], "pronto") == 0) {
    servidor.pronto = true;
  } else if (n == 8 && strcmp(campos[0], "d") == 0) {
    AnaliseBruto b;
    b.erro = strcmp(campos[1], "e") == 0;
    b.linha = numero(campos[2]), b.coluna = numero(campos[3]);
    b.linha_fim = numero(campos[4]), b.coluna_fim = numero(campos[5]);
    b.opcao = campos[6], b.mensagem = campos[7];
    if (b.linha > 0)
      brutos.push_back(b);
  } else if (n == 6 && strcmp(campos[0], "n") == 0 && !brutos.empty()) {
    brutos.back().notas.push_back(
        {numero(campos[1]), numero(campos[2]), numero(campos[3]), numero(campos[4]), campos[5]});
  } else if (n == 2 && strcmp(campos[0], "fim") == 0 && em_curso &&
             strtoul(campos[1], nullptr, 10) == atual.sequencia) {
    termina_pedido(AnaliseEstado::Feita);
  }
  g_strfreev(campos);
}

// Writes what the analyser's input takes now; false when it is gone.
bool escreve() {
  while (!servidor.a_enviar.empty()) {
    const ssize_t n = write(servidor.entrada, servidor.a_enviar.data(), servidor.a_enviar.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN)
      return true;
    if (n <= 0)
      return false;
    servidor.a_enviar.erase(0, static_cast<size_t>(n));
  }
  return true;
}

// Reads what the analyser wrote; false when it is gone.
bool le() {
  char bloco[65536];
  for (;;) {
    const ssize_t n = read(servidor.saida, bloco, sizeof bloco);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN)
      return true;
    if (n <= 0)
      return false;
    servidor.lido.append(bloco, static_cast<size_t>(n));
    size_t quebra;
    while (servidor.pid > 0 && (quebra = servidor.lido.find('\n')) != std::string::npos) {
      const std::string linha = servidor.lido.substr(0, quebra);
      servidor.lido.erase(0, quebra + 1);
      le_linha(linha);
    }
    if (servidor.lido.size() > (16u << 20))
      return false; // no answer is that long
  }
}

// The analyser went away (or was stopped) in the middle of an analysis.
void perdeu(AnaliseEstado estado) {
  const bool havia = em_curso;
  para_servidor();
  if (havia) {
    em_curso = true;
    termina_pedido(estado);
  }
}

gboolean ao_ler(gint, GIOCondition, gpointer) {
  if (!escreve() || !le()) {
    servidor.vigia = 0; // the source ends as this returns
    perdeu(AnaliseEstado::Falhou);
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

gboolean ao_esgotar(gpointer) {
  servidor.relogio = 0;
  perdeu(AnaliseEstado::Esgotada);
  return G_SOURCE_REMOVE;
}

bool inicia_servidor() {
  gchar *pasta = g_dir_make_tmp("olpa-analise-XXXXXX", nullptr);
  if (!pasta)
    return false;
  servidor.pasta = pasta;
  g_free(pasta);
  const std::string programa = executavel();
  gchar *argv[] = {const_cast<gchar *>(programa.c_str()),
                   const_cast<gchar *>(servidor.pasta.c_str()), nullptr};
  gchar *ambiente[] = {const_cast<gchar *>("LC_ALL=C"), nullptr};
  if (!g_spawn_async_with_pipes(nullptr, argv, ambiente, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                nullptr, &servidor.pid, &servidor.entrada, &servidor.saida, nullptr,
                                nullptr)) {
    servidor.pid = 0;
    para_servidor();
    return false;
  }
  fcntl(servidor.entrada, F_SETFL, fcntl(servidor.entrada, F_GETFL) | O_NONBLOCK);
  fcntl(servidor.saida, F_SETFL, fcntl(servidor.saida, F_GETFL) | O_NONBLOCK);
  fcntl(servidor.entrada, F_SETFD, FD_CLOEXEC);
  fcntl(servidor.saida, F_SETFD, FD_CLOEXEC);
  return true;
}

void envia(Pedido pedido) {
  if (servidor.pid <= 0 && !inicia_servidor()) {
    AnaliseResultado r;
    r.estado = AnaliseEstado::Falhou;
    entrega(pedido, r);
    return;
  }
  pedido.sequencia = ++sequencias;
  pedido.desde = g_get_monotonic_time();
  atual = std::move(pedido);
  em_curso = true;
  servidor.a_enviar += "analisa " + std::to_string(atual.sequencia) + " " +
                       std::to_string(atual.codigo.size()) + "\n" + atual.codigo;
  if (atual.retorno) {
    // Answers come through the main loop; the time limit too.
    if (!servidor.vigia)
      servidor.vigia =
          g_unix_fd_add(servidor.saida, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                        ao_ler, nullptr);
    servidor.relogio = g_timeout_add(static_cast<guint>(limite_ms()), ao_esgotar, nullptr);
  }
  if (!escreve())
    perdeu(AnaliseEstado::Falhou);
}

// Feeds and reads the analyser until the current request is answered or
// `ate` (monotonic microseconds) comes.
void atende(gint64 ate) {
  while (em_curso) {
    // What is there already counts, however late it is read.
    if (!escreve() || !le()) {
      perdeu(AnaliseEstado::Falhou);
      return;
    }
    if (!em_curso)
      return;
    const gint64 agora = g_get_monotonic_time();
    const gint64 esgota = atual.desde + static_cast<gint64>(limite_ms()) * 1000;
    if (agora >= esgota) {
      perdeu(AnaliseEstado::Esgotada);
      return;
    }
    if (agora >= ate)
      return;
    pollfd fds[2] = {
        {servidor.saida, POLLIN, 0},
        {servidor.entrada, static_cast<short>(servidor.a_enviar.empty() ? 0 : POLLOUT), 0}};
    const int espera = static_cast<int>((std::min(ate, esgota) - agora + 999) / 1000);
    if (poll(fds, 2, espera) < 0 && errno != EINTR)
      return;
  }
}

} // namespace

bool analise_ligada(std::string *motivo) {
  if (desligada.empty() && !g_file_test(executavel().c_str(), G_FILE_TEST_IS_EXECUTABLE))
    desligada = "esta instalação do olpa não tem o analisador (olpa-analisa, feito com o clang)";
  if (motivo)
    *motivo = desligada;
  return desligada.empty();
}

void analise_desliga(const char *motivo) {
  desligada = motivo && *motivo ? motivo : "a análise foi desligada";
  para_servidor();
}

void analise_pede(const std::string &codigo, AnaliseRetorno retorno, void *dados) {
  Pedido pedido;
  pedido.codigo = codigo;
  pedido.retorno = retorno;
  pedido.dados = dados;
  if (!analise_ligada(nullptr)) {
    AnaliseResultado r;
    r.motivo = desligada;
    entrega(pedido, r);
    return;
  }
  if (tem_ultimo && ultimo_codigo == codigo && !em_curso) {
    if (retorno)
      retorno(ultimo, dados);
    return;
  }
  if (em_curso && atual.codigo == codigo && !tem_proximo) {
    atual.retorno = retorno, atual.dados = dados;
    return;
  }
  if (em_curso) {
    proximo = std::move(pedido);
    tem_proximo = true;
    return;
  }
  envia(std::move(pedido));
}

bool analise_pronta(const std::string &codigo, AnaliseResultado *resultado) {
  if (!tem_ultimo || ultimo_codigo != codigo)
    return false;
  *resultado = ultimo;
  return true;
}

bool analise_espera(const std::string &codigo, int ms, AnaliseResultado *resultado) {
  const gint64 ate = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
  if (!analise_ligada(nullptr)) {
    *resultado = AnaliseResultado{AnaliseEstado::Desligada, {}, desligada};
    return true;
  }
  const bool pedido = (em_curso && atual.codigo == codigo && !tem_proximo) ||
                      (tem_proximo && proximo.codigo == codigo);
  if (!pedido && !(tem_ultimo && ultimo_codigo == codigo)) {
    // Asked here, answered here: whoever asked for an older text gets nothing.
    tem_proximo = false;
    if (em_curso)
      perdeu(AnaliseEstado::Falhou);
    Pedido p;
    p.codigo = codigo;
    envia(p);
  }
  while (!(tem_ultimo && ultimo_codigo == codigo) && em_curso && g_get_monotonic_time() < ate)
    atende(ate);
  if (!(tem_ultimo && ultimo_codigo == codigo))
    return false;
  *resultado = ultimo;
  return true;
}

void analise_encerra() {
  para_servidor();
  tem_proximo = false;
}

int analise_pid() {
  return servidor.pid;
}
