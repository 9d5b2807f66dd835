// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar --compara: a whole class graded in one command. The model is
// made (or read) first; then the learners' programs run beside each other, a
// few at a time, from this process's main loop (paralelo.cpp), and each is
// graded here as its run ends (aluno.cpp); the verdicts join those of a
// report already in the folder and go to the report's files and a summary
// table.
#include "turma.h"

#include "aluno.h"
#include "dados.h"
#include "figuras.h"
#include "olpa_rodar.h"
#include "paralelo.h"
#include "textos.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_map>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <glib.h>

namespace {

std::string caminho_absoluto(const std::string &caminho) {
  char *absoluto = g_canonicalize_filename(caminho.c_str(), nullptr);
  std::string s = absoluto;
  g_free(absoluto);
  return s;
}

// The pictures of a file of a class of `total`: "07_casa.png" and "07_casa_diferenca.png".
std::string nome_da_figura(const Correcao &c, size_t total, const char *sufixo) {
  const int digitos = std::max<int>(2, static_cast<int>(std::to_string(total).size()));
  char numero[16];
  snprintf(numero, sizeof numero, "%0*d", digitos, c.posicao);
  return std::string("figuras/") + numero + "_" + texto_nome_seguro(texto_nome_base(c.arquivo)) +
         sufixo + ".png";
}

bool termina_em_png(const std::string &caminho) {
  char *minusculo = g_ascii_strdown(caminho.c_str(), -1);
  const bool png = g_str_has_suffix(minusculo, ".png");
  g_free(minusculo);
  return png;
}

// Exit status of a grading stopped by a signal, as a shell reports Ctrl+C.
constexpr int INTERROMPIDA = 130;

int interrompida() {
  fprintf(stderr, "olpa-rodar: correção interrompida; o relatório não foi gravado.\n");
  return INTERROMPIDA;
}

AjustesDoLote lote_de(const OpcoesTurma &o, int ao_mesmo_tempo) {
  AjustesDoLote a;
  a.ao_mesmo_tempo = ao_mesmo_tempo;
  a.tempo_limite = o.tempo_limite;
  a.sem_espera = o.sem_espera;
  return a;
}

// The model's picture: read from its PNG, or made by its program run as a
// learner's is. False with the reason; *parada when a signal stopped it.
bool figura_do_modelo(const OpcoesTurma &o, Turma *t, Pixels *pixels, std::string *motivo,
                      bool *parada) {
  if (termina_em_png(o.modelo))
    return figura_le(o.modelo, pixels, motivo);
  std::string erro;
  if (!rodar_le_arquivo(o.modelo.c_str(), &t->modelo_codigo, &erro)) {
    *motivo = "não gerou uma figura: [erro] não foi possível ler o arquivo: " + erro + ".";
    return false;
  }
  t->modelo_codigo = texto_utf8(t->modelo_codigo);
  bool pronto = false;
  *parada = !paralelo_roda({t->modelo_codigo.c_str()}, lote_de(o, 1),
                           [&](size_t, const ParserResultado *r, const std::string &falha) {
                             const Deixado d = r ? aluno_deixado(*r) : Deixado{};
                             t->modelo_console = r ? texto_utf8(r->texto) : "";
                             pronto = d.achado == Achado::Figura;
                             if (pronto)
                               pixels->assign(d.pixels, d.pixels + OLPA_TELA_BYTES);
                             else
                               *motivo =
                                   "não gerou uma figura: " + (r ? d.mensagem : "[erro] " + falha);
                           });
  return pronto && !*parada;
}

// The model's picture at figuras/modelo.png, its checksum and the colours of
// the marks: 0 when it is there, otherwise the exit status, said.
int prepara_modelo(const OpcoesTurma &o, Turma *t, Modelo *m) {
  t->modelo_figura = TURMA_FIGURA_DO_MODELO;
  std::string motivo;
  bool parada = false;
  if (figura_do_modelo(o, t, &m->pixels, &motivo, &parada)) {
    aluno_prepara_modelo(t->deslocamento, m);
    t->modelo_soma = figura_soma(m->pixels.data());
    t->marcas = m->cores;
    m->arquivo = o.relatorio + "/" + t->modelo_figura;
    if (figura_grava_png(m->png, m->arquivo, &motivo))
      return 0;
  }
  if (parada)
    return interrompida();
  fprintf(stderr, "olpa-rodar: o modelo \"%s\" não serve: %s\n",
          texto_de_uma_linha(o.modelo).c_str(), texto_de_uma_linha(motivo).c_str());
  return 2;
}

// On a terminal, one line rewritten as files end: how many are done, and the
// first file in order still running (the one the class waits for).
struct Progresso {
  const std::vector<std::string> &arquivos;
  std::vector<bool> feito;
  size_t feitos = 0, primeiro = 0;
  const bool terminal = isatty(STDERR_FILENO);

  explicit Progresso(const std::vector<std::string> &a) : arquivos(a), feito(a.size()) { mostra(); }
  void terminou(size_t i) {
    feito[i] = true;
    feitos++;
    while (primeiro < feito.size() && feito[primeiro])
      primeiro++;
    mostra();
  }
  void mostra() const {
    if (!terminal)
      return;
    if (primeiro < feito.size())
      fprintf(stderr, "\r\033[K[%zu/%zu] %s", feitos, feito.size(),
              texto_de_uma_linha(arquivos[primeiro]).c_str());
    else
      fprintf(stderr, "\r\033[K");
    fflush(stderr);
  }
  ~Progresso() {
    if (terminal && primeiro < feito.size())
      fprintf(stderr, "\r\033[K");
  }
};

bool grava(const std::string &caminho, const std::string &conteudo) {
  GError *erro = nullptr;
  if (g_file_set_contents(caminho.c_str(), conteudo.data(), static_cast<gssize>(conteudo.size()),
                          &erro))
    return true;
  fprintf(stderr, "olpa-rodar: não foi possível gravar o relatório: %s\n", erro->message);
  g_error_free(erro);
  return false;
}

// The class of a report already in the folder, when it was graded against
// the same model the same way: 0, or the exit status, said.
int junta_anterior(const OpcoesTurma &o, Turma *t) {
  Turma anterior;
  std::string motivo;
  if (!dados_le(o.relatorio, &anterior, &motivo)) {
    if (motivo.empty())
      return 0;
    fprintf(stderr,
            "olpa-rodar: o relatório que já está em \"%s\" não pôde ser lido (%s); apague-o ou "
            "escolha outra pasta com --relatorio.\n",
            texto_de_uma_linha(o.relatorio).c_str(), texto_de_uma_linha(motivo).c_str());
    return 2;
  }
  if (anterior.modelo_soma == t->modelo_soma && anterior.deslocamento == t->deslocamento) {
    t->correcoes = anterior.correcoes;
    return 0;
  }
  if (!anterior.correcoes.empty())
    fprintf(stderr,
            "olpa-rodar: o relatório que já estava em \"%s\" foi feito com outro modelo ou outro "
            "--deslocamento: começa de novo, só com os arquivos desta correção.\n",
            texto_de_uma_linha(o.relatorio).c_str());
  return 0;
}

// Where each given file goes in the class: its place when a report had it,
// otherwise a new one at the end. For a part (--parte K/N) only the files of
// that part, each numbered by its place in the whole list, in a report of its own.
std::vector<size_t> lugares(const OpcoesTurma &o, Turma *t) {
  std::vector<size_t> onde;
  // The files a report had, by path, while not yet given again.
  std::unordered_map<std::string, size_t> antes;
  for (size_t i = 0; i < t->correcoes.size(); i++)
    antes.emplace(t->correcoes[i].caminho, i);
  for (size_t k = 0; k < o.arquivos.size(); k++) {
    if (o.partes && static_cast<int>(k % o.partes) + 1 != o.parte)
      continue;
    Correcao c;
    c.arquivo = o.arquivos[k];
    c.caminho = caminho_absoluto(c.arquivo);
    c.posicao = static_cast<int>(k + 1);
    const auto achado = antes.find(c.caminho);
    size_t i = t->correcoes.size();
    if (achado != antes.end())
      i = achado->second, antes.erase(achado);
    else
      t->correcoes.emplace_back();
    t->correcoes[i] = c;
    onde.push_back(i);
  }
  t->total = o.partes ? o.arquivos.size() : t->correcoes.size();
  for (size_t i = 0; !o.partes && i < t->correcoes.size(); i++)
    t->correcoes[i].posicao = static_cast<int>(i + 1);
  for (size_t i : onde) {
    Correcao &c = t->correcoes[i];
    c.figura = nome_da_figura(c, t->total, "");
    c.diferenca = nome_da_figura(c, t->total, "_diferenca");
  }
  return onde;
}

} // namespace

int turma_grava(const Turma &t, const OpcoesTurma &o) {
  const std::string html = o.relatorio + "/relatorio.html";
  if (!grava(o.relatorio + "/relatorio.csv", relatorio_csv(t, o.csv_internacional)) ||
      !grava(html, relatorio_html(t)) || !grava(o.relatorio + "/" + DADOS_ARQUIVO, dados_texto(t)))
    return 2;
  resumo_mostra(t, html);
  return turma_conta(t, Situacao::Igual) == static_cast<int>(t.correcoes.size()) ? 0 : 1;
}

int turma_compara(const OpcoesTurma &o) {
  if (g_mkdir_with_parents((o.relatorio + "/figuras").c_str(), 0755) != 0) {
    fprintf(stderr, "olpa-rodar: não foi possível criar a pasta do relatório \"%s\": %s.\n",
            texto_de_uma_linha(o.relatorio).c_str(), g_strerror(errno));
    return 2;
  }
  // Every run is cast from the zygote, forked now while this process is
  // small; what the runner traces (compiler warnings) is no part of a report.
  parser_prepara_zigoto();
  parser_define_trace(open("/dev/null", O_WRONLY | O_CLOEXEC));
  // Pictures of 1.2 MB come and go for every learner: malloc keeps reusing
  // the same memory, rather than mapping it afresh (a page fault a page).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  Turma t;
  t.modelo = o.modelo;
  t.tolerancia = o.tolerancia;
  t.deslocamento = o.deslocamento;
  Modelo modelo;
  if (const int status = prepara_modelo(o, &t, &modelo))
    return status;
  // A part is graded whole each time, into a folder of its own.
  if (const int status = o.partes ? 0 : junta_anterior(o, &t))
    return status;
  const size_t mantidos = t.correcoes.size();
  const std::vector<size_t> onde = lugares(o, &t);
  std::vector<std::string> arquivos;
  std::vector<size_t> rodam; // of `onde`: the files read, which run
  std::vector<const char *> codigos;
  for (size_t k = 0; k < onde.size(); k++) {
    Correcao &c = t.correcoes[onde[k]];
    arquivos.push_back(c.arquivo);
    std::string erro;
    if (!rodar_le_arquivo(c.arquivo.c_str(), &c.codigo, &erro)) {
      c.situacao = Situacao::Erro;
      c.mensagem = texto_utf8("[erro] não foi possível ler o arquivo: " + erro + ".");
      c.figura.clear();
      c.diferenca.clear();
      continue;
    }
    c.codigo = texto_utf8(c.codigo);
    rodam.push_back(k);
    codigos.push_back(c.codigo.c_str());
  }
  bool inteira;
  {
    Progresso progresso(arquivos);
    for (size_t k = 0, j = 0; k < onde.size(); k++)
      if (j < rodam.size() && rodam[j] == k)
        j++;
      else
        progresso.terminou(k);
    inteira = paralelo_roda(codigos, lote_de(o, o.tarefas),
                            [&](size_t j, const ParserResultado *r, const std::string &erro) {
                              Correcao *c = &t.correcoes[onde[rodam[j]]];
                              if (r)
                                aluno_corrige(t, &modelo, o.relatorio, *r, c);
                              else
                                aluno_nao_rodou(erro, c);
                              progresso.terminou(rodam[j]);
                            });
  }
  parser_encerra();
  if (!inteira)
    return interrompida();
  for (Correcao &c : t.correcoes)
    situacao_julga(t.tolerancia, &c);
  copias_agrupa(&t);
  const int status = turma_grava(t, o);
  if (status != 2 && mantidos > 0)
    printf("(%zu %s desta correção; %zu do relatório que já estava na pasta.)\n", onde.size(),
           onde.size() == 1 ? "arquivo" : "arquivos", t.correcoes.size() - onde.size());
  return status;
}
