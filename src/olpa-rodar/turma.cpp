// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar --compara: a whole class graded in one command. The model is
// made (or read) first; then each learner's file is graded by an olpa-rodar
// of its own (aluno.cpp), a few at a time (paralelo.cpp); the verdicts join
// those of a report already in the folder and go to the report's files and a
// summary table.
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

#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

namespace {

std::string caminho_absoluto(const std::string &caminho) {
  char *absoluto = g_canonicalize_filename(caminho.c_str(), nullptr);
  std::string s = absoluto;
  g_free(absoluto);
  return s;
}

std::string este_programa() {
  char *caminho = g_file_read_link("/proc/self/exe", nullptr);
  std::string s = caminho ? caminho : "olpa-rodar";
  g_free(caminho);
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

Tarefa tarefa_de(const OpcoesTurma &o, const Turma &t, const std::string &figura,
                 const std::string &diferenca, const std::string &arquivo) {
  // The grader works in a run tree of its own: every path it gets is absolute.
  const std::string raiz = caminho_absoluto(o.relatorio);
  Tarefa tarefa;
  tarefa.argv = {este_programa(), ALUNO_OPCAO};
  char tempo[G_ASCII_DTOSTR_BUF_SIZE];
  g_ascii_dtostr(tempo, sizeof tempo, o.tempo_limite);
  const bool compara = !diferenca.empty();
  for (const std::string &a :
       aluno_argumentos({tempo, compara ? raiz + "/" + t.modelo_figura : "", raiz + "/" + figura,
                         compara ? raiz + "/" + diferenca : "", caminho_absoluto(arquivo),
                         o.sem_espera ? "1" : "0", std::to_string(t.deslocamento),
                         aluno_marcas_em_texto(t.marcas)}))
    tarefa.argv.push_back(a);
  return tarefa;
}

// The grader's record; when it left none, what little is known.
RegistroAluno registro_de(const Tarefa &t) {
  RegistroAluno r;
  if (WIFEXITED(t.status) && WEXITSTATUS(t.status) == 0 && aluno_le_registro(t.saida, &r))
    return r;
  r = RegistroAluno{};
  std::string motivo = t.erros.substr(0, t.erros.find('\n'));
  if (t.estourou)
    motivo = "a correção deste arquivo passou do prazo";
  else if (motivo.empty())
    motivo = "a correção deste arquivo falhou";
  r.mensagem = "[erro] " + texto_de_uma_linha(motivo);
  return r;
}

bool termina_em_png(const std::string &caminho) {
  char *minusculo = g_ascii_strdown(caminho.c_str(), -1);
  const bool png = g_str_has_suffix(minusculo, ".png");
  g_free(minusculo);
  return png;
}

double prazo_de(const OpcoesTurma &o) {
  // The run's own limit stops a program; this only guards against the grader itself hanging.
  return 2 * o.tempo_limite + 60;
}

// Exit status of a grading stopped by a signal, as a shell reports Ctrl+C.
constexpr int INTERROMPIDA = 130;

int interrompida() {
  fprintf(stderr, "olpa-rodar: correção interrompida; o relatório não foi gravado.\n");
  return INTERROMPIDA;
}

// The model's picture at figuras/modelo.png, its checksum and the colours of
// the marks: 0 when it is there, otherwise the exit status, said.
int prepara_modelo(const OpcoesTurma &o, Turma *t) {
  t->modelo_figura = TURMA_FIGURA_DO_MODELO;
  const std::string destino = o.relatorio + "/" + t->modelo_figura;
  std::string motivo;
  bool pronto = false;
  if (termina_em_png(o.modelo)) {
    OlpaSurface figura = figura_le(o.modelo, &motivo);
    pronto = figura && figura_grava(figura.get(), destino, &motivo);
  } else {
    std::string erro;
    if (rodar_le_arquivo(o.modelo.c_str(), &t->modelo_codigo, &erro))
      t->modelo_codigo = texto_utf8(t->modelo_codigo);
    std::vector<Tarefa> tarefas = {tarefa_de(o, *t, t->modelo_figura, "", o.modelo)};
    if (!paralelo_roda(&tarefas, 1, prazo_de(o), [](size_t) {}))
      return interrompida();
    const RegistroAluno r = registro_de(tarefas[0]);
    t->modelo_console = texto_utf8(r.console);
    pronto = r.achado == Achado::Figura;
    if (!pronto)
      motivo = "não gerou uma figura: " + r.mensagem;
  }
  OlpaSurface figura = pronto ? figura_le(destino, &motivo) : nullptr;
  if (figura) {
    t->modelo_soma = figura_soma(figura.get());
    cairo_surface_flush(figura.get());
    OpcoesComparacao oc;
    oc.deslocamento = t->deslocamento;
    t->marcas = compara_cores_das_marcas(cairo_image_surface_get_data(figura.get()), oc);
    return 0;
  }
  fprintf(stderr, "olpa-rodar: o modelo \"%s\" não serve: %s\n",
          texto_de_uma_linha(o.modelo).c_str(), texto_de_uma_linha(motivo).c_str());
  return 2;
}

Correcao correcao_de(const Turma &t, const RegistroAluno &r, Correcao c) {
  c.mensagem = texto_utf8(r.mensagem);
  c.console = texto_utf8(r.console);
  c.linhas = r.linhas;
  c.comparada = r.comparada;
  c.comparacao = r.comparacao;
  c.parcial = r.parcial;
  switch (r.achado) {
  case Achado::Figura:
    c.situacao = Situacao::Igual;
    if (!c.comparada)
      c.diferenca.clear();
    situacao_julga(t.tolerancia, &c);
    return c;
  case Achado::SemFigura:
    c.situacao = Situacao::SemFigura;
    break;
  case Achado::Erro:
    c.situacao = Situacao::Erro;
    break;
  case Achado::Interrompido:
    c.situacao = Situacao::Interrompido;
    break;
  }
  if (!c.parcial)
    c.figura.clear();
  c.diferenca.clear();
  return c;
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
    std::string erro;
    if (rodar_le_arquivo(c.arquivo.c_str(), &c.codigo, &erro))
      c.codigo = texto_utf8(c.codigo);
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
  Turma t;
  t.modelo = o.modelo;
  t.tolerancia = o.tolerancia;
  t.deslocamento = o.deslocamento;
  if (const int status = prepara_modelo(o, &t))
    return status;
  // A part is graded whole each time, into a folder of its own.
  if (const int status = o.partes ? 0 : junta_anterior(o, &t))
    return status;
  const size_t mantidos = t.correcoes.size();
  const std::vector<size_t> onde = lugares(o, &t);
  std::vector<Tarefa> tarefas;
  std::vector<std::string> arquivos;
  for (size_t i : onde) {
    const Correcao &c = t.correcoes[i];
    tarefas.push_back(tarefa_de(o, t, c.figura, c.diferenca, c.arquivo));
    arquivos.push_back(c.arquivo);
  }
  bool inteira;
  {
    Progresso progresso(arquivos);
    inteira = paralelo_roda(&tarefas, o.tarefas, prazo_de(o), [&](size_t k) {
      t.correcoes[onde[k]] = correcao_de(t, registro_de(tarefas[k]), t.correcoes[onde[k]]);
      progresso.terminou(k);
    });
  }
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
