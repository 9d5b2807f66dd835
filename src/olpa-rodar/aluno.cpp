// SPDX-License-Identifier: GPL-3.0-or-later
// One learner's file graded in a process of its own. This process is the
// runner's application side, so it is trusted; the learner's program runs in
// its child as every run does, and reaches neither this process's standard
// output (where the record goes) nor its standard error (trace lines go
// nowhere here). The pictures the program left are read as untrusted data.
#include "aluno.h"

#include "figuras.h"
#include "olpa_rodar.h"
#include "registro.h"

#include "olpagfx.h"
#include "olpaparser.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <malloc.h>
#include <sys/mman.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

// ------------------------------------------------------------ the record

namespace {

const char *const ACHADOS[] = {"figura", "sem_figura", "erro", "interrompido"};

// No code file has more lines than bytes.
constexpr long LINHA_MAXIMA = PARSER_LIMITE_CODIGO + 1;

} // namespace

std::string aluno_registro(const RegistroAluno &r) {
  std::string saida;
  registro_campo(&saida, "achado", ACHADOS[static_cast<int>(r.achado)]);
  registro_campo(&saida, "comparada", r.comparada ? "1" : "0");
  registro_comparacao(&saida, r.comparacao);
  registro_campo(&saida, "parcial", r.parcial ? "1" : "0");
  registro_campo(&saida, "linhas", registro_lista(r.linhas));
  registro_campo(&saida, "mensagem", r.mensagem);
  registro_campo(&saida, "console", r.console);
  return saida;
}

bool aluno_le_registro(const std::string &texto, RegistroAluno *r) {
  Campos campos;
  size_t p = 0;
  if (!registro_le(texto, &p, &campos) || campos.size() != 11)
    return false;
  RegistroAluno lido;
  int achado = 0;
  while (achado < 4 && campos["achado"] != ACHADOS[achado])
    achado++;
  if (achado == 4 || !registro_le_comparacao(campos, &lido.comparacao) ||
      !registro_le_lista(campos["linhas"], LINHA_MAXIMA, &lido.linhas) ||
      (campos["comparada"] != "0" && campos["comparada"] != "1") ||
      (campos["parcial"] != "0" && campos["parcial"] != "1"))
    return false;
  lido.achado = static_cast<Achado>(achado);
  lido.comparada = campos["comparada"] == "1";
  lido.parcial = campos["parcial"] == "1";
  lido.mensagem = campos["mensagem"];
  lido.console = campos["console"];
  *r = lido;
  return true;
}

std::vector<std::string> aluno_argumentos(const OpcoesAluno &o) {
  return {o.tempo_limite, o.modelo,     o.figura,       o.diferenca,
          o.arquivo,      o.sem_espera, o.deslocamento, o.marcas};
}

std::string aluno_marcas_em_texto(const CoresDasMarcas &c) {
  char texto[32];
  snprintf(texto, sizeof texto, "%08x,%08x,%08x", c.faltando, c.sobrando, c.cor);
  return texto;
}

// ------------------------------------------------------------ grading

namespace {

// A program that did not run left only the compiler's lines: the first error
// is what the learner must mend first.
std::string primeiro_erro(const ParserResultado &r) {
  for (const ParserLinha &l : r.linhas)
    if (l.tipo == ParserTipo::Erro)
      return parser_linha_texto(r, l);
  return "[erro] o programa não compilou.";
}

// A run stopped from outside ends with the runner's own line, after
// whatever the program wrote: olpa's last, never the program's.
std::string ultima_linha(const ParserResultado &r) {
  for (size_t i = r.linhas.size(); i-- > 0;)
    if (r.linhas[i].tipo != ParserTipo::Texto)
      return parser_linha_texto(r, r.linhas[i]);
  return {};
}

// Why a run that ended failed, when olpa said it in an "[erro]" line of its own.
std::string ultimo_erro(const ParserResultado &r) {
  for (size_t i = r.linhas.size(); i-- > 0;)
    if (r.linhas[i].tipo == ParserTipo::Erro)
      return parser_linha_texto(r, r.linhas[i]);
  return {};
}

// Grading takes a few pictures of 1.2 MB, and page faults are dear on some
// machines (a virtual one may pay an exit for each page, and serialise them
// across processors): the memory is made ready in one call and malloc keeps
// reusing it. After the run, so the program's child never shares it.
void prepara_memoria() {
  constexpr size_t TAMANHO = 12u << 20;
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  void *bloco = malloc(TAMANHO);
  if (!bloco)
    return;
  const uintptr_t pagina = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t inicio = (reinterpret_cast<uintptr_t>(bloco) + pagina - 1) & ~(pagina - 1);
  madvise(reinterpret_cast<void *>(inicio), TAMANHO - pagina, MADV_POPULATE_WRITE);
  free(bloco);
}

// A surface of ours holding a copy of 640 x 480 pixels as cairo holds them.
OlpaSurface copia_de(const unsigned char *pixels) {
  OlpaSurface s(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  cairo_surface_flush(s.get());
  memcpy(cairo_image_surface_get_data(s.get()), pixels, OLPA_TELA_BYTES);
  cairo_surface_mark_dirty(s.get());
  return s;
}

const unsigned char *pixels_de(cairo_surface_t *s) {
  cairo_surface_flush(s);
  return cairo_image_surface_get_stride(s) == OLPA_TELA_STRIDE ? cairo_image_surface_get_data(s)
                                                               : nullptr;
}

[[noreturn]] void nao_gravou(const std::string &caminho, const std::string &motivo) {
  fprintf(stderr, "olpa-rodar: não foi possível gravar \"%s\": %s.\n", caminho.c_str(),
          motivo.c_str());
  exit(3);
}

// A run that wrote no picture may have drawn: its canvas as far as it got,
// kept as the learner's picture when it holds anything but the background.
void guarda_parcial(const OpcoesAluno &o, const unsigned char *pixels, RegistroAluno *r) {
  OpcoesComparacao oc;
  if (!pixels || compara_so_fundo(pixels, oc))
    return;
  prepara_memoria();
  OlpaSurface parcial = copia_de(pixels);
  std::string motivo;
  if (!figura_grava(parcial.get(), o.figura, &motivo))
    nao_gravou(o.figura, motivo);
  r->parcial = true;
}

bool le_marcas(const std::string &texto, CoresDasMarcas *c) {
  return sscanf(texto.c_str(), "%8x,%8x,%8x", &c->faltando, &c->sobrando, &c->cor) == 3;
}

// The learner's picture against the model's: the counts, and the picture of the differences.
void compara_com_modelo(const OpcoesAluno &o, cairo_surface_t *figura, RegistroAluno *r) {
  std::string motivo;
  OlpaSurface modelo = figura_le(o.modelo, &motivo);
  if (!modelo) {
    fprintf(stderr, "olpa-rodar: não foi possível ler o modelo: %s.\n", motivo.c_str());
    exit(3);
  }
  OpcoesComparacao oc;
  oc.deslocamento = atoi(o.deslocamento.c_str());
  CoresDasMarcas cores{};
  const unsigned char *m = pixels_de(modelo.get()), *a = pixels_de(figura);
  if (!m || !a || !le_marcas(o.marcas, &cores)) {
    fprintf(stderr, "olpa-rodar: figuras ou marcas fora do formato esperado.\n");
    exit(3);
  }
  std::vector<Marca> marcas(COMPARA_PONTOS);
  r->comparacao = compara_figuras(m, a, oc, marcas.data());
  r->comparada = true;
  OlpaSurface diferenca(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  cairo_surface_flush(diferenca.get());
  compara_desenha_diferencas(m, marcas.data(), cores,
                             cairo_image_surface_get_data(diferenca.get()));
  cairo_surface_mark_dirty(diferenca.get());
  if (!figura_grava(diferenca.get(), o.diferenca, &motivo))
    nao_gravou(o.diferenca, motivo);
}

// The picture the run left at the export path, compared and written for the
// report: only beneath this learner's own ../telas, never through a link.
// The messages are olpa's own, never a line the program wrote.
void olha_figura(const OpcoesAluno &o, const ParserResultado &rodada, RegistroAluno *r) {
  const bool sucesso = rodada.sucesso;
  const int fd = rodada.figura_gravada ? parser_abre_em_telas(rodada.caminho.c_str()) : -1;
  if (fd < 0 && (!rodada.figura_gravada || errno == ENOENT)) {
    r->achado = Achado::SemFigura;
    const std::string por_que = sucesso ? "" : ultimo_erro(rodada);
    r->mensagem = !por_que.empty() ? por_que
                  : sucesso        ? "o programa terminou sem gravar uma figura."
                                   : "o programa terminou sem gravar uma figura: a gravação "
                                     "falhou (o console diz por quê).";
    guarda_parcial(o, rodada.figura, r);
    return;
  }
  std::string motivo = "não é um arquivo comum dentro de telas";
  prepara_memoria();
  OlpaSurface figura = fd >= 0 ? figura_le_fd(fd, &motivo) : OlpaSurface();
  if (fd >= 0)
    close(fd);
  if (!figura) {
    r->achado = Achado::SemFigura;
    r->mensagem = "a figura que o programa gravou não serve: " + motivo + ".";
    guarda_parcial(o, rodada.figura, r);
    return;
  }
  if (!figura_grava(figura.get(), o.figura, &motivo))
    nao_gravou(o.figura, motivo);
  r->achado = Achado::Figura;
  if (!o.modelo.empty())
    compara_com_modelo(o, figura.get(), r);
}

RegistroAluno corrige(const OpcoesAluno &o) {
  RegistroAluno r;
  std::string codigo, erro;
  if (!rodar_le_arquivo(o.arquivo.c_str(), &codigo, &erro)) {
    r.achado = Achado::Erro;
    r.mensagem = "[erro] não foi possível ler o arquivo: " + erro + ".";
    return r;
  }
  const int nulo = open("/dev/null", O_WRONLY | O_CLOEXEC);
  rodar_prepara(nulo);
  olpa_gfx_defs();
  ParserResultado rodada;
  rodar_executa(codigo, &rodada);
  r.console = rodada.texto;
  r.linhas = rodada.marcas_erro;
  parser_encerra();
  switch (rodada.fim) {
  case ParserFim::NaoRodou:
    r.achado = Achado::Erro;
    r.mensagem = primeiro_erro(rodada);
    break;
  case ParserFim::Interrompido:
    r.achado = Achado::Interrompido;
    r.mensagem = ultima_linha(rodada);
    guarda_parcial(o, olpa_gfx_pixels(), &r);
    break;
  case ParserFim::Terminou:
    olha_figura(o, rodada, &r);
    break;
  }
  return r;
}

} // namespace

int aluno_principal(int argc, char **argv) {
  if (argc != 8) {
    fprintf(stderr, "olpa-rodar: %s é só para uso interno.\n", ALUNO_OPCAO);
    return 2;
  }
  const OpcoesAluno o{argv[0], argv[1], argv[2], argv[3], argv[4], argv[5], argv[6], argv[7]};
  parser_define_sem_espera(o.sem_espera == "1");
  char *fim = nullptr;
  const double tempo = g_ascii_strtod(o.tempo_limite.c_str(), &fim);
  if (fim && *fim == '\0' && tempo > 0)
    parser_define_tempo_limite(tempo);
  const std::string registro = aluno_registro(corrige(o));
  if (fwrite(registro.data(), 1, registro.size(), stdout) != registro.size() || fflush(stdout))
    return 3;
  return 0;
}
