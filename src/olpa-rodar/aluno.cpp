// One learner's file graded in a process of its own. This process is the
// runner's application side, so it is trusted; the learner's program runs in
// its child as every run does, and reaches neither this process's standard
// output (where the record goes) nor its standard error (trace lines go
// nowhere here). The picture the program left is read as untrusted data.
#include "aluno.h"

#include "figuras.h"
#include "olpa_rodar.h"

#include "olpagfx.h"
#include "olpaparser.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>

#include <malloc.h>
#include <sys/mman.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

// ------------------------------------------------------------ the record

namespace {

const char *const ACHADOS[] = {"figura", "sem_figura", "erro", "interrompido"};

// Every field as "NAME LENGTH\n" and its bytes, then "\n": whatever bytes the
// console text holds, the record stays whole.
void campo(std::string *saida, const char *nome, const std::string &valor) {
  *saida += std::string(nome) + " " + std::to_string(valor.size()) + "\n" + valor + "\n";
}

} // namespace

std::string aluno_registro(const RegistroAluno &r) {
  std::string saida;
  campo(&saida, "achado", ACHADOS[static_cast<int>(r.achado)]);
  campo(&saida, "pontos", std::to_string(r.pontos));
  campo(&saida, "mensagem", r.mensagem);
  campo(&saida, "console", r.console);
  return saida;
}

bool aluno_le_registro(const std::string &texto, RegistroAluno *r) {
  std::map<std::string, std::string> campos;
  size_t p = 0;
  while (p < texto.size()) {
    const size_t espaco = texto.find(' ', p), fim = texto.find('\n', p);
    if (espaco == std::string::npos || fim == std::string::npos || espaco > fim)
      return false;
    char *resto = nullptr;
    const unsigned long long n = g_ascii_strtoull(texto.c_str() + espaco + 1, &resto, 10);
    if (resto != texto.c_str() + fim || n > texto.size() - fim - 1 ||
        texto.size() - fim - 1 - n < 1 || texto[fim + 1 + n] != '\n')
      return false;
    campos[texto.substr(p, espaco - p)] = texto.substr(fim + 1, n);
    p = fim + 1 + n + 1;
  }
  if (campos.size() != 4 || !campos.count("achado") || !campos.count("pontos") ||
      !campos.count("mensagem") || !campos.count("console"))
    return false;
  int achado = 0;
  while (achado < 4 && campos["achado"] != ACHADOS[achado])
    achado++;
  char *fim = nullptr;
  const long pontos = strtol(campos["pontos"].c_str(), &fim, 10);
  if (achado == 4 || !fim || *fim || pontos < -1 || pontos > FIGURA_PONTOS)
    return false;
  *r = {static_cast<Achado>(achado), pontos, campos["mensagem"], campos["console"]};
  return true;
}

std::vector<std::string> aluno_argumentos(const OpcoesAluno &o) {
  return {o.tempo_limite, o.modelo, o.figura, o.diferenca, o.arquivo, o.sem_espera};
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

// The picture the run left at the export path, compared and written for the
// report: only beneath this learner's own ../telas, never through a link.
void olha_figura(const OpcoesAluno &o, const ParserResultado &rodada, RegistroAluno *r) {
  const bool sucesso = rodada.sucesso;
  const int fd = rodada.figura_gravada ? parser_abre_em_telas(rodada.caminho.c_str()) : -1;
  if (fd < 0 && (!rodada.figura_gravada || errno == ENOENT)) {
    r->achado = Achado::SemFigura;
    r->mensagem = sucesso ? "o programa terminou sem gravar uma figura." : ultima_linha(rodada);
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
    return;
  }
  if (!figura_grava(figura.get(), o.figura, &motivo)) {
    fprintf(stderr, "olpa-rodar: não foi possível gravar \"%s\": %s.\n", o.figura.c_str(),
            motivo.c_str());
    exit(3);
  }
  r->achado = Achado::Figura;
  if (o.modelo.empty())
    return;
  OlpaSurface modelo = figura_le(o.modelo, &motivo);
  if (!modelo) {
    fprintf(stderr, "olpa-rodar: não foi possível ler o modelo: %s.\n", motivo.c_str());
    exit(3);
  }
  r->pontos = figura_conta_diferencas(modelo.get(), figura.get());
  OlpaSurface diferenca = figura_diferenca(modelo.get(), figura.get());
  if (!figura_grava(diferenca.get(), o.diferenca, &motivo)) {
    fprintf(stderr, "olpa-rodar: não foi possível gravar \"%s\": %s.\n", o.diferenca.c_str(),
            motivo.c_str());
    exit(3);
  }
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
  parser_encerra();
  switch (rodada.fim) {
  case ParserFim::NaoRodou:
    r.achado = Achado::Erro;
    r.mensagem = primeiro_erro(rodada);
    break;
  case ParserFim::Interrompido:
    r.achado = Achado::Interrompido;
    r.mensagem = ultima_linha(rodada);
    break;
  case ParserFim::Terminou:
    olha_figura(o, rodada, &r);
    break;
  }
  return r;
}

} // namespace

int aluno_principal(int argc, char **argv) {
  if (argc != 6) {
    fprintf(stderr, "olpa-rodar: %s é só para uso interno.\n", ALUNO_OPCAO);
    return 2;
  }
  const OpcoesAluno o{argv[0], argv[1], argv[2], argv[3], argv[4], argv[5]};
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
