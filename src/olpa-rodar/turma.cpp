// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar --compara: a whole class graded in one command. The model is
// made (or read) first; then each learner's file is graded by an olpa-rodar
// of its own (aluno.cpp), a few at a time (paralelo.cpp); the verdicts go to
// the report's files and a summary table.
#include "turma.h"

#include "aluno.h"
#include "figuras.h"
#include "paralelo.h"
#include "textos.h"

#include <cerrno>
#include <cstdio>

#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

const char *situacao_nome(Situacao s) {
  switch (s) {
  case Situacao::Igual:
    return "igual";
  case Situacao::Diferente:
    return "diferente";
  case Situacao::Erro:
    return "erro";
  case Situacao::Interrompido:
    return "interrompido";
  case Situacao::SemFigura:
    break;
  }
  return "sem_figura";
}

double turma_porcentagem(long pontos) {
  return 100.0 * static_cast<double>(pontos) / static_cast<double>(FIGURA_PONTOS);
}

int turma_conta(const Turma &turma, Situacao s) {
  int n = 0;
  for (const Correcao &c : turma.correcoes)
    n += c.situacao == s;
  return n;
}

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

// The pictures of the i-th file: "07_casa.png" and "07_casa_diferenca.png".
std::string nome_da_figura(const Turma &t, size_t i, const char *sufixo) {
  const int digitos = std::max<int>(2, static_cast<int>(std::to_string(t.correcoes.size()).size()));
  char numero[16];
  snprintf(numero, sizeof numero, "%0*zu", digitos, i + 1);
  return std::string("figuras/") + numero + "_" +
         texto_nome_seguro(texto_nome_base(t.correcoes[i].arquivo)) + sufixo + ".png";
}

Tarefa tarefa_de(const OpcoesTurma &o, const std::string &pasta, const std::string &modelo,
                 const std::string &figura, const std::string &diferenca,
                 const std::string &arquivo) {
  // The grader works in a run tree of its own: every path it gets is absolute.
  const std::string raiz = caminho_absoluto(pasta);
  Tarefa t;
  t.argv = {este_programa(), ALUNO_OPCAO};
  char tempo[G_ASCII_DTOSTR_BUF_SIZE];
  g_ascii_dtostr(tempo, sizeof tempo, o.tempo_limite);
  for (const std::string &a :
       aluno_argumentos({tempo, modelo.empty() ? "" : raiz + "/" + modelo, raiz + "/" + figura,
                         diferenca.empty() ? "" : raiz + "/" + diferenca, caminho_absoluto(arquivo),
                         o.sem_espera ? "1" : "0"}))
    t.argv.push_back(a);
  return t;
}

// The grader's record; when it left none, what little is known.
RegistroAluno registro_de(const Tarefa &t) {
  RegistroAluno r;
  if (WIFEXITED(t.status) && WEXITSTATUS(t.status) == 0 && aluno_le_registro(t.saida, &r))
    return r;
  r.achado = Achado::Interrompido;
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

// The model's picture at figuras/modelo.png: 0 when it is there, otherwise the
// exit status, said.
int prepara_modelo(const OpcoesTurma &o, Turma *t) {
  t->modelo_figura = "figuras/modelo.png";
  const std::string destino = o.relatorio + "/" + t->modelo_figura;
  std::string motivo;
  if (termina_em_png(o.modelo)) {
    OlpaSurface figura = figura_le(o.modelo, &motivo);
    if (figura && figura_grava(figura.get(), destino, &motivo))
      return 0;
  } else {
    std::vector<Tarefa> tarefas = {tarefa_de(o, o.relatorio, "", t->modelo_figura, "", o.modelo)};
    if (!paralelo_roda(&tarefas, 1, prazo_de(o), [](size_t) {}))
      return interrompida();
    const RegistroAluno r = registro_de(tarefas[0]);
    t->modelo_console = texto_utf8(r.console);
    if (r.achado == Achado::Figura)
      return 0;
    motivo = "não gerou uma figura: " + r.mensagem;
  }
  fprintf(stderr, "olpa-rodar: o modelo \"%s\" não serve: %s\n",
          texto_de_uma_linha(o.modelo).c_str(), texto_de_uma_linha(motivo).c_str());
  return 2;
}

Correcao correcao_de(const Turma &t, const RegistroAluno &r, Correcao c) {
  c.mensagem = texto_utf8(r.mensagem);
  c.console = texto_utf8(r.console);
  switch (r.achado) {
  case Achado::Figura:
    c.pontos = r.pontos;
    c.situacao =
        turma_porcentagem(r.pontos) <= t.tolerancia ? Situacao::Igual : Situacao::Diferente;
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
  c.figura.clear();
  c.diferenca.clear();
  return c;
}

// On a terminal, one line rewritten as files end: how many are done, and the
// first file in order still running (the one the class waits for).
struct Progresso {
  const Turma &turma;
  std::vector<bool> feito;
  size_t feitos = 0, primeiro = 0;
  const bool terminal = isatty(STDERR_FILENO);

  explicit Progresso(const Turma &t) : turma(t), feito(t.correcoes.size()) { mostra(); }
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
              texto_de_uma_linha(turma.correcoes[primeiro].arquivo).c_str());
    else
      fprintf(stderr, "\r\033[K");
    fflush(stderr);
  }
  ~Progresso() {
    if (terminal && primeiro < feito.size())
      fprintf(stderr, "\r\033[K");
  }
};

void mostra_resumo(const Turma &t, const std::string &html) {
  std::vector<std::vector<std::string>> linhas = {{"arquivo", "situação", "diferença", "mensagem"}};
  for (const Correcao &c : t.correcoes) {
    const std::string diferenca =
        c.pontos < 0
            ? ""
            : texto_numero(c.pontos) + " (" + texto_porcentagem(turma_porcentagem(c.pontos)) + ")";
    linhas.push_back({texto_de_uma_linha(c.arquivo), situacao_nome(c.situacao), diferenca,
                      texto_de_uma_linha(c.mensagem)});
  }
  size_t larguras[3] = {0, 0, 0};
  for (const auto &l : linhas)
    for (int k = 0; k < 3; k++)
      larguras[k] = std::max(larguras[k], texto_largura(l[k]));
  for (const auto &l : linhas) {
    std::string linha;
    for (int k = 0; k < 3; k++)
      linha += texto_alinhado(l[k], larguras[k]) + "  ";
    linha += l[3];
    while (!linha.empty() && linha.back() == ' ')
      linha.pop_back();
    printf("%s\n", linha.c_str());
  }
  std::string resumo;
  for (Situacao s : SITUACOES)
    resumo += std::string(resumo.empty() ? "" : ", ") + std::to_string(turma_conta(t, s)) + " " +
              situacao_nome(s);
  printf("\n%zu arquivos: %s.\nRelatório: %s\n", t.correcoes.size(), resumo.c_str(),
         texto_de_uma_linha(html).c_str());
}

bool grava(const std::string &caminho, const std::string &conteudo) {
  GError *erro = nullptr;
  if (g_file_set_contents(caminho.c_str(), conteudo.data(), static_cast<gssize>(conteudo.size()),
                          &erro))
    return true;
  fprintf(stderr, "olpa-rodar: não foi possível gravar o relatório: %s\n", erro->message);
  g_error_free(erro);
  return false;
}

} // namespace

int turma_compara(const OpcoesTurma &o) {
  if (g_mkdir_with_parents((o.relatorio + "/figuras").c_str(), 0755) != 0) {
    fprintf(stderr, "olpa-rodar: não foi possível criar a pasta do relatório \"%s\": %s.\n",
            texto_de_uma_linha(o.relatorio).c_str(), g_strerror(errno));
    return 2;
  }
  Turma t;
  t.modelo = o.modelo;
  t.tolerancia = o.tolerancia;
  if (const int status = prepara_modelo(o, &t))
    return status;
  std::vector<Tarefa> tarefas;
  for (const std::string &arquivo : o.arquivos) {
    t.correcoes.push_back({});
    t.correcoes.back().arquivo = arquivo;
  }
  for (size_t i = 0; i < o.arquivos.size(); i++) {
    Correcao &c = t.correcoes[i];
    c.figura = nome_da_figura(t, i, "");
    c.diferenca = nome_da_figura(t, i, "_diferenca");
    tarefas.push_back(tarefa_de(o, o.relatorio, t.modelo_figura, c.figura, c.diferenca, c.arquivo));
  }
  bool inteira;
  {
    Progresso progresso(t);
    inteira = paralelo_roda(&tarefas, o.tarefas, prazo_de(o), [&](size_t i) {
      t.correcoes[i] = correcao_de(t, registro_de(tarefas[i]), t.correcoes[i]);
      progresso.terminou(i);
    });
  }
  if (!inteira)
    return interrompida();
  const std::string html = o.relatorio + "/relatorio.html";
  if (!grava(o.relatorio + "/relatorio.csv", relatorio_csv(t)) || !grava(html, relatorio_html(t)))
    return 2;
  mostra_resumo(t, html);
  return turma_conta(t, Situacao::Igual) == static_cast<int>(t.correcoes.size()) ? 0 : 1;
}
