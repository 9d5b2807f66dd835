// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter of the compiler's wordings (dados/compilador.ini, carried
// inside the program): each message taken apart by the record "forma",
// matched against the records in order, its text filled in, placed on the
// line where the mistake is (the end of the line missing a ';', where a
// string or comment opens, the '{' never closed) and enriched (the name
// meant, the prototype of the learner function called).
#include "diagnosticos.h"

#include "fonte.h"
#include "nomes.h"
#include "olpa_funcoes.h"
#include "registros.h"

#include <algorithm>
#include <cstring>
#include <set>

#include <glib.h>

extern const char DADOS_COMPILADOR[]; // dados/compilador.ini

namespace {

bool mostrar_avisos = true;

const Registros &tabela() {
  static const Registros t = registros_le(DADOS_COMPILADOR);
  return t;
}

// One message taken apart: the record that matched, its parts and where
// the compiler put it.
struct Mensagem {
  bool aviso = false;
  bool do_programa = true; // not about a header or the linker's files
  std::string arquivo;
  int linha = 0;
  std::string corpo;
  const Registro *registro = nullptr;
  Partes partes;
};

bool separa(const std::string &bruta, Mensagem *m) {
  Partes forma;
  if (!registros_procura(tabela(), bruta, {{"tabela", "forma"}}, &forma))
    return false; // notes and anything else go to the trace only
  m->aviso = forma["gravidade"] == "warning";
  m->corpo = forma["corpo"];
  m->arquivo = forma["arquivo"];
  m->linha = atoi(forma["linha"].c_str());
  m->do_programa = m->arquivo.empty() || m->arquivo == DIAGNOSTICOS_ARQUIVO;
  if (m->arquivo.empty())
    m->linha = 0;
  m->registro = registros_procura(tabela(), m->corpo, {{"tabela", ""}}, &m->partes);
  return true;
}

// First line where `nome` stands as a whole word, 0 when nowhere.
int linha_do_nome(const std::string &codigo, const std::string &nome) {
  if (nome.empty())
    return 0;
  auto palavra = [](char c) { return g_ascii_isalnum(c) || c == '_'; };
  int linha = 1;
  for (size_t i = 0; i < codigo.size(); i++) {
    if (codigo[i] == '\n') {
      linha++;
      continue;
    }
    if ((i == 0 || !palavra(codigo[i - 1])) && codigo.compare(i, nome.size(), nome) == 0 &&
        (i + nome.size() >= codigo.size() || !palavra(codigo[i + nome.size()])))
      return linha;
  }
  return 0;
}

std::string linha_do_texto(const std::string &codigo, int linha) {
  size_t inicio = 0;
  for (int l = 1; l < linha && inicio != std::string::npos; l++) {
    const size_t quebra = codigo.find('\n', inicio);
    inicio = quebra == std::string::npos ? quebra : quebra + 1;
  }
  if (inicio == std::string::npos)
    return {};
  return codigo.substr(inicio, codigo.find('\n', inicio) - inicio);
}

// The learner function called on `linha`, when just one is.
const OlpaFuncao *funcao_chamada(const std::string &codigo, int linha) {
  const std::string texto = linha_do_texto(codigo, linha);
  const OlpaFuncao *achada = nullptr;
  for (const OlpaFuncao &f : OLPA_FUNCOES) {
    if (linha_do_nome(texto, f.nome) == 0)
      continue;
    if (achada)
      return nullptr;
    achada = &f;
  }
  return achada;
}

// Whether the program writes a function `nome` itself: a line that begins
// with a type and names it before a "(".
bool definida_no_programa(const std::string &codigo, const std::string &nome) {
  static const char *const TIPOS[] = {"int",  "void",   "char",     "double", "float",
                                      "long", "static", "unsigned", "short",  "bool"};
  for (size_t inicio = 0; inicio < codigo.size();) {
    size_t fim = codigo.find('\n', inicio);
    if (fim == std::string::npos)
      fim = codigo.size();
    const std::string linha = codigo.substr(inicio, fim - inicio);
    inicio = fim + 1;
    const size_t i = linha.find_first_not_of(" \t");
    bool tipo = false;
    for (const char *t : TIPOS)
      tipo = tipo || (i != std::string::npos && linha.compare(i, strlen(t), t) == 0);
    const size_t n = linha_do_nome(linha, nome) ? linha.find(nome) : std::string::npos;
    const size_t depois =
        n == std::string::npos ? n : linha.find_first_not_of(" \t", n + nome.size());
    if (tipo && depois != std::string::npos && linha[depois] == '(')
      return true;
  }
  return false;
}

// How many arguments a prototype of the table takes; -1 for "...".
int argumentos(const OlpaFuncao &f) {
  const std::string p = f.prototipo;
  const size_t abre = p.find('('), fecha = p.rfind(')');
  const std::string dentro = p.substr(abre + 1, fecha - abre - 1);
  if (dentro.find("...") != std::string::npos)
    return -1;
  if (dentro == "void" || dentro.empty())
    return 0;
  return static_cast<int>(std::count(dentro.begin(), dentro.end(), ',')) + 1;
}

// A number written with a decimal comma ("2,5"): two arguments to C.
bool virgula_decimal(const std::string &texto) {
  for (size_t i = 1; i + 1 < texto.size(); i++)
    if (texto[i] == ',' && g_ascii_isdigit(texto[i - 1]) && g_ascii_isdigit(texto[i + 1]))
      return true;
  return false;
}

class Diagnosticador {
public:
  Diagnosticador(const std::string &codigo, const std::vector<std::string> &mensagens)
      : codigo_(codigo), fonte_(fonte_le(codigo)) {
    for (const std::string &bruta : mensagens) {
      Mensagem m;
      if (!separa(bruta, &m))
        continue;
      const std::string &enriquece = m.registro ? m.registro->chave("enriquece") : "";
      if (m.aviso && enriquece == "implicita")
        implicitas_.insert(m.partes["nome"]);
      if (!m.aviso && m.registro && m.registro->chave("lugar") == "uso")
        indefinidos_.insert(m.partes["nome"]);
      com_erros_ = com_erros_ || !m.aviso;
      mensagens_.push_back(std::move(m));
    }
  }

  std::vector<Diagnostico> resultado() {
    std::vector<Diagnostico> saida;
    for (Mensagem &m : mensagens_) {
      Diagnostico d;
      if (m.aviso ? mostrar_avisos && !com_erros_ && aviso(m, &d) : erro(m, &d))
        saida.push_back(d);
    }
    std::stable_sort(saida.begin(), saida.end(), [](const Diagnostico &a, const Diagnostico &b) {
      return (a.linha ? a.linha : 1 << 30) < (b.linha ? b.linha : 1 << 30);
    });
    for (Diagnostico &d : saida)
      d.texto = std::string(d.aviso ? "[aviso] " : "[erro] ") +
                (d.linha > 0 ? "linha " + std::to_string(d.linha) + ": " : "") + d.texto + "\n";
    return saida;
  }

private:
  std::string texto(const Mensagem &m, const char *chave = "texto") {
    if (!m.registro)
      return "o compilador não aceitou este trecho";
    return registros_preenche(tabela(), m.registro->chave(chave), m.partes);
  }

  // The line where the mistake is, from what the compiler saw and the source.
  int coloca(Mensagem &m, std::string *saida) {
    int linha = m.linha;
    const std::string &lugar = m.registro ? m.registro->chave("lugar") : "";
    if (lugar == "aspas" && fonte_.aspas_abertas)
      linha = fonte_.aspas_abertas;
    else if (lugar == "apostrofo" && fonte_.apostrofo_aberto)
      linha = fonte_.apostrofo_aberto;
    else if (lugar == "comentario" && fonte_.comentario_aberto)
      linha = fonte_.comentario_aberto;
    else if (linha > fonte_.ultima_com_codigo && fonte_.chave_aberta) {
      *saida = "esta chave { nunca foi fechada: falta um } (cada { precisa do seu })";
      linha = fonte_.chave_aberta;
    } else if (lugar == "fim_da_anterior" && linha > 0 && linha <= fonte_.ultima_com_codigo &&
               fonte_.primeira[linha] == m.partes["veio"]) {
      // What is missing belongs at the end of the line before.
      int antes = linha - 1;
      while (antes > 0 && !fonte_.com_codigo[antes])
        antes--;
      if (antes > 0) {
        *saida = texto(m, "texto_na_anterior");
        linha = antes;
      }
    }
    // Never past the end of the program.
    if (linha > fonte_.linhas || linha > fonte_.ultima_com_codigo)
      linha = std::max(1, fonte_.ultima_com_codigo);
    return linha;
  }

  const std::vector<std::string> &nomes() {
    if (!com_nomes_) {
      nomes_ = fonte_le(codigo_, true).nomes;
      com_nomes_ = true;
    }
    return nomes_;
  }

  std::string sugestao(const std::string &nome) {
    std::vector<std::string> candidatos;
    for (const std::string &n : nomes())
      if (!indefinidos_.count(n) && !implicitas_.count(n))
        candidatos.push_back(n);
    return nomes_sugestao(nome, candidatos);
  }

  bool erro(Mensagem &m, Diagnostico *d) {
    d->aviso = false;
    d->texto = texto(m);
    if (!m.do_programa) {
      if (m.linha > 0)
        d->texto = "arquivo " + m.arquivo + ", linha " + std::to_string(m.linha) + ": " + d->texto;
      d->linha = 0;
      return true;
    }
    const std::string &lugar = m.registro ? m.registro->chave("lugar") : "";
    const std::string &enriquece = m.registro ? m.registro->chave("enriquece") : "";
    // The linker names no line: the first use of the missing name.
    d->linha = lugar == "uso" ? linha_do_nome(codigo_, m.partes["nome"])
               : m.linha > 0  ? coloca(m, &d->texto)
                              : 0;
    if (enriquece == "sugestao") {
      m.partes["sugestao"] = sugestao(m.partes["nome"]);
      if (!m.partes["sugestao"].empty())
        d->texto = texto(m, "texto_com_sugestao");
    } else if (enriquece == "chamada") {
      d->texto = chamada(d->linha, m.registro->chave("padrao").find("many") != std::string::npos,
                         d->texto);
    } else if (enriquece == "redefinicao") {
      d->texto += redefinicao(m.partes["nome"]);
    }
    return true;
  }

  // Which learner function the call was to, and how many it takes.
  std::string chamada(int linha, bool demais, std::string texto) {
    if (const OlpaFuncao *f = funcao_chamada(codigo_, linha)) {
      const int n = argumentos(*f);
      if (n >= 0)
        texto = std::string(demais ? "argumentos demais" : "faltam argumentos") +
                " na chamada de " + f->nome + ", que recebe " + std::to_string(n) + " (" +
                f->prototipo + ")";
    }
    if (demais && virgula_decimal(linha_do_texto(codigo_, linha)))
      texto += ". Número com vírgula? Em C a vírgula separa os argumentos: escreva 2.5, com ponto";
    return texto;
  }

  // A number where a learner function takes a text, or the other way round.
  std::string troca(int linha, bool ponteiro_de_numero, const std::string &texto) {
    const OlpaFuncao *f = funcao_chamada(codigo_, linha);
    if (!f || argumentos(*f) < 0)
      return texto;
    const bool recebe_texto = strchr(f->prototipo, '*') != nullptr;
    if (ponteiro_de_numero && recebe_texto)
      return std::string(f->nome) +
             " recebe um texto, entre aspas duplas (\"oi\"), e não um número";
    if (!ponteiro_de_numero && !recebe_texto)
      return std::string(f->nome) + " recebe números, e não um texto";
    return texto;
  }

  std::string redefinicao(const std::string &nome) {
    if (implicitas_.count(nome))
      return " (a função foi usada antes de ser escrita: escreva-a antes de quem a usa, ou "
             "declare-a no começo do programa)";
    if (nomes_funcao_do_olpa(nome))
      return " ('" + nome + "' é uma função do olpa: escolha outro nome)";
    if (const char *cabecalho = nomes_cabecalho_de(nome))
      return " ('" + nome + "' é uma função da biblioteca do C, de <" + cabecalho +
             ">: escolha outro nome)";
    return {};
  }

  bool aviso(Mensagem &m, Diagnostico *d) {
    if (!m.do_programa || (m.registro && m.registro->chave("aviso") == "descartado"))
      return false;
    d->aviso = true;
    d->linha = m.linha;
    d->texto = texto(m);
    const std::string &enriquece = m.registro ? m.registro->chave("enriquece") : "";
    if (enriquece == "implicita") {
      const std::string &nome = m.partes["nome"];
      // An unknown name gets its error, with the name meant, at link time.
      if (indefinidos_.count(nome))
        return false;
      if (const char *cabecalho = nomes_cabecalho_de(nome))
        d->texto = "'" + nome + "' foi usada sem o #include <" + cabecalho + ">: ponha #include <" +
                   cabecalho + "> no começo do programa";
      else if (definida_no_programa(codigo_, nome))
        d->texto = "a função '" + nome +
                   "' foi usada antes de ser escrita: escreva-a antes de quem a usa (ou "
                   "declare-a no começo do programa)";
    } else if (enriquece == "diretiva") {
      m.partes["sugestao"] = nomes_sugestao_de_diretiva(m.partes["diretiva"]);
      if (!m.partes["sugestao"].empty())
        d->texto = texto(m, "texto_com_sugestao");
    } else if (enriquece == "troca") {
      d->texto = troca(d->linha, m.registro->nome == "ponteiro de número", d->texto);
    }
    if (d->linha > fonte_.ultima_com_codigo)
      d->linha = std::max(1, fonte_.ultima_com_codigo);
    return true;
  }

  const std::string &codigo_;
  FonteC fonte_;
  std::vector<Mensagem> mensagens_;
  std::set<std::string> implicitas_, indefinidos_;
  bool com_erros_ = false;
  bool com_nomes_ = false;
  std::vector<std::string> nomes_;
};

} // namespace

std::vector<Diagnostico> diagnosticos_do_compilador(const std::string &codigo,
                                                    const std::vector<std::string> &mensagens) {
  return Diagnosticador(codigo, mensagens).resultado();
}

void diagnosticos_define_avisos(bool mostrar) {
  mostrar_avisos = mostrar;
}

std::string diagnosticos_traduz(const std::string &mensagem) {
  const bool antes = mostrar_avisos;
  mostrar_avisos = true;
  std::string texto;
  for (const Diagnostico &d : diagnosticos_do_compilador("", {mensagem}))
    texto += d.texto;
  mostrar_avisos = antes;
  return texto;
}

std::vector<std::string> diagnosticos_avisos_descartados() {
  std::vector<std::string> padroes;
  for (const Registro &r : tabela().registros)
    if (r.chave("aviso") == "descartado")
      padroes.push_back(r.chave("padrao"));
  return padroes;
}
