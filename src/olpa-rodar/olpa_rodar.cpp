// olpa-rodar: runs code files exactly as "Rodar" would with that text in the
// editor, one after the other in one process, and prints the console text
// the window would show after each run. For teachers and tests. With
// --compara it grades a whole class instead (turma.cpp).
#include "olpa_rodar.h"

#include "aluno.h"
#include "figuras.h"
#include "textos.h"
#include "turma.h"

#include "olpagfx.h"
#include "olpaparser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <glib.h>
#include <unistd.h>

namespace {

std::string console;
int fd_trace = STDERR_FILENO;

void console_insere(const char *texto) {
  console += texto;
}
void console_substitui(const char *texto) {
  console = texto;
}

void uso() {
  fprintf(stderr,
          "uso: olpa-rodar [--tempo-limite SEGUNDOS] [--figuras PASTA] ARQUIVO...\n"
          "     olpa-rodar --compara MODELO [--relatorio PASTA] [--tolerancia PORCENTO] [-j N]\n"
          "                [--tempo-limite SEGUNDOS] ARQUIVO...\n"
          "Roda cada arquivo de código (\"-\" para a entrada padrão) como o botão \"Rodar\" e "
          "mostra o texto do console; com --figuras, guarda a figura de cada um com o nome "
          "dele.\n"
          "Com --compara, roda cada arquivo à parte e compara a figura com a do MODELO (um "
          "arquivo .olp ou uma figura .png de 640 × 480); o relatório fica em PASTA "
          "(relatorio/ se não for dada).\n");
}

long tamanho_arquivo(const char *caminho) {
  FILE *f = fopen(caminho, "rb");
  if (!f)
    return 0;
  fseek(f, 0, SEEK_END);
  const long n = ftell(f);
  fclose(f);
  return n;
}

// Why a code file could not be read, in Portuguese where we can say it.
std::string motivo_de_leitura(const GError *falha) {
  switch (falha->domain == G_FILE_ERROR ? falha->code : -1) {
  case G_FILE_ERROR_NOENT:
    return "o arquivo não existe";
  case G_FILE_ERROR_ACCES:
  case G_FILE_ERROR_PERM:
    return "sem permissão para ler";
  case G_FILE_ERROR_ISDIR:
    return "é uma pasta, não um arquivo";
  default:
    return falha->message;
  }
}

} // namespace

bool rodar_le_arquivo(const char *nome, std::string *texto, std::string *erro) {
  if (strcmp(nome, "-") == 0) {
    char bloco[65536];
    size_t n;
    while ((n = fread(bloco, 1, sizeof bloco, stdin)) > 0)
      texto->append(bloco, n);
    if (ferror(stdin))
      *erro = "erro de leitura";
    return !ferror(stdin);
  }
  gchar *dados = nullptr;
  gsize tamanho = 0;
  GError *falha = nullptr;
  if (!g_file_get_contents(nome, &dados, &tamanho, &falha)) {
    *erro = motivo_de_leitura(falha);
    g_error_free(falha);
    return false;
  }
  texto->assign(dados, tamanho);
  g_free(dados);
  return true;
}

void rodar_prepara(int fd) {
  fd_trace = fd;
  parser_define_saida({console_insere, console_substitui, nullptr, nullptr});
  parser_define_trace(fd);
  olpa_gfx_define_trace([](const char *texto, size_t n) {
    if (write(fd_trace, texto, n) < 0) {
    }
  });
}

bool rodar_executa(const std::string &codigo, std::string *saida) {
  console = "[olpa] compilando\n";
  const bool certo = parser_executa(codigo.c_str()) == 1;
  if (certo) {
    console += "[olpa] sucesso!\n";
    dprintf(fd_trace, "[tamanho] %s, %ld\n", olpa_arquivo_exportar,
            tamanho_arquivo(olpa_arquivo_exportar));
  }
  *saida = console;
  return certo;
}

namespace {

struct Opcoes {
  std::vector<std::string> arquivos;
  double tempo_limite = 0; // 0: the runner's own
  std::string figuras;
  bool compara = false, so_compara = false;
  OpcoesTurma turma;
};

// A number from `texto` ("0.5" or "0,5") within [minimo, maximo].
bool le_numero(const char *texto, double minimo, double maximo, double *valor) {
  if (!texto || !*texto)
    return false;
  std::string ponto = texto;
  for (char &c : ponto)
    if (c == ',')
      c = '.';
  char *fim = nullptr;
  *valor = g_ascii_strtod(ponto.c_str(), &fim);
  return fim && *fim == '\0' && *valor >= minimo && *valor <= maximo;
}

// 0 when the command line makes sense; otherwise the exit status, said.
int le_opcoes(int argc, char **argv, Opcoes *o) {
  bool so_arquivos = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    const char *valor = i + 1 < argc ? argv[i + 1] : nullptr;
    const char *erro = nullptr;
    if (so_arquivos || a == "-" || a[0] != '-') {
      o->arquivos.push_back(a);
      continue;
    }
    if (a == "--") {
      so_arquivos = true;
      continue;
    }
    if (a == "--ajuda" || a == "--help") {
      uso();
      return -1;
    }
    double n = 0;
    if (a == "--tempo-limite") {
      if (!le_numero(valor, 1e-3, 86400, &o->tempo_limite))
        erro = "--tempo-limite pede um número de segundos maior que zero.";
    } else if (a == "--figuras" || a == "--relatorio" || a == "--compara") {
      if (!valor || !*valor)
        erro = a == "--compara" ? "--compara pede o modelo (um arquivo .olp ou uma figura .png "
                                  "de 640 × 480)."
                                : "esta opção pede o nome de uma pasta.";
      else if (a == "--figuras")
        o->figuras = valor;
      else if (a == "--relatorio")
        o->turma.relatorio = valor, o->so_compara = true;
      else
        o->turma.modelo = valor, o->compara = true;
    } else if (a == "--tolerancia") {
      if (!le_numero(valor, 0, 100, &o->turma.tolerancia))
        erro = "--tolerancia pede uma porcentagem de 0 a 100.";
      o->so_compara = true;
    } else if (a == "-j" || a == "--tarefas") {
      if (!le_numero(valor, 1, 64, &n) || n != static_cast<int>(n))
        erro = "-j pede quantas execuções ao mesmo tempo, de 1 a 64.";
      o->turma.tarefas = static_cast<int>(n), o->so_compara = true;
    } else {
      fprintf(stderr, "olpa-rodar: opção desconhecida: %s\n", texto_de_uma_linha(a).c_str());
      uso();
      return 2;
    }
    if (erro) {
      fprintf(stderr, "olpa-rodar: %s\n", erro);
      return 2;
    }
    i++;
  }
  const char *erro = nullptr;
  if (o->so_compara && !o->compara)
    erro = "--relatorio, --tolerancia e -j só valem com --compara.";
  else if (o->compara && !o->figuras.empty())
    erro = "--figuras não vale com --compara: as figuras ficam no relatório.";
  else if (o->compara)
    for (const std::string &a : o->arquivos)
      if (a == "-")
        erro = "--compara não lê programas da entrada padrão (\"-\").";
  if (erro) {
    fprintf(stderr, "olpa-rodar: %s\n", erro);
    return 2;
  }
  if (o->arquivos.empty()) {
    uso();
    return 2;
  }
  return 0;
}

// Keeps the picture the last run wrote at the export path as PASTA/NAME.png,
// NAME being the code file's (a second file of the same name gets "-2").
bool guarda_figura(const std::string &arquivo, const std::string &pasta,
                   std::set<std::string> *usados) {
  if (!olpa_gfx_png_gravado())
    return true;
  const std::string base = arquivo == "-" ? "entrada" : texto_nome_base(arquivo);
  std::string nome = base;
  for (int k = 2; !usados->insert(nome).second; k++)
    nome = base + "-" + std::to_string(k);
  std::string motivo;
  OlpaSurface figura = figura_le(olpa_arquivo_exportar, &motivo);
  if (figura && figura_grava(figura.get(), pasta + "/" + nome + ".png", &motivo))
    return true;
  fprintf(stderr, "olpa-rodar: a figura de \"%s\" não foi guardada: %s.\n",
          texto_de_uma_linha(arquivo).c_str(), motivo.c_str());
  return false;
}

int roda_em_sequencia(const Opcoes &o) {
  std::vector<std::string> codigos(o.arquivos.size());
  for (size_t i = 0; i < o.arquivos.size(); i++) {
    std::string erro;
    if (!rodar_le_arquivo(o.arquivos[i].c_str(), &codigos[i], &erro)) {
      const std::string &nome = o.arquivos[i];
      fprintf(stderr, "olpa-rodar: não foi possível ler %s: %s\n",
              nome == "-" ? "a entrada padrão" : ("\"" + texto_de_uma_linha(nome) + "\"").c_str(),
              erro.c_str());
      return 2;
    }
  }
  if (!o.figuras.empty() && g_mkdir_with_parents(o.figuras.c_str(), 0755) != 0) {
    fprintf(stderr, "olpa-rodar: não foi possível criar a pasta \"%s\": %s.\n",
            texto_de_uma_linha(o.figuras).c_str(), g_strerror(errno));
    return 2;
  }
  rodar_prepara(STDERR_FILENO);
  olpa_gfx_defs();
  std::set<std::string> nomes_usados;
  bool tudo_certo = true;
  for (size_t i = 0; i < codigos.size(); i++) {
    const std::string &arquivo = o.arquivos[i];
    if (codigos.size() > 1)
      printf("%s==> %s <==\n", i > 0 ? "\n" : "",
             arquivo == "-" ? "(entrada padrão)" : texto_de_uma_linha(arquivo).c_str());
    std::string texto;
    bool certo = rodar_executa(codigos[i], &texto);
    fwrite(texto.data(), 1, texto.size(), stdout);
    fflush(stdout);
    if (certo && !o.figuras.empty())
      certo = guarda_figura(arquivo, o.figuras, &nomes_usados);
    tudo_certo = certo && tudo_certo;
  }
  parser_encerra();
  return tudo_certo ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc > 1 && strcmp(argv[1], ALUNO_OPCAO) == 0)
    return aluno_principal(argc - 2, argv + 2);
  Opcoes o;
  o.turma.tarefas = static_cast<int>(g_get_num_processors());
  const int uso_errado = le_opcoes(argc, argv, &o);
  if (uso_errado != 0)
    return uso_errado < 0 ? 0 : uso_errado;
  if (o.tempo_limite > 0)
    parser_define_tempo_limite(o.tempo_limite);
  if (!o.compara)
    return roda_em_sequencia(o);
  o.turma.arquivos = o.arquivos;
  if (o.tempo_limite > 0)
    o.turma.tempo_limite = o.tempo_limite;
  return turma_compara(o.turma);
}
