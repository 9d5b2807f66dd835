// SPDX-License-Identifier: GPL-3.0-or-later
// The compiler's messages in the learner's language: each on the line where
// the mistake is (the end of the line missing a ';', where a string or a
// comment opens, the '{' never closed), with the name meant when a name
// looks like a slip; the warnings that point at real mistakes kept as
// "[aviso]", the noise dropped (the wordings and their Portuguese are in
// parser_traducoes.cpp).
#include "parser_diagnosticos.h"

#include "olpa_funcoes.h"
#include "parser_fonte.h"
#include "parser_nomes.h"
#include "parser_traducoes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include <glib.h>

namespace {

// The text between the first two quotes of `chave` in `texto`, empty when not found.
std::string entre(const std::string &texto, const char *antes, char fim) {
  const size_t i = texto.find(antes);
  if (i == std::string::npos)
    return {};
  const size_t inicio = i + strlen(antes);
  const size_t f = texto.find(fim, inicio);
  return f == std::string::npos ? std::string() : texto.substr(inicio, f - inicio);
}

// One compiler message taken apart: "programa:3: error: ...", "file.h:12:
// warning: ..." or "tcc: error: ..." ("In file included from ..." lines
// come first; the message is the last line).
struct Mensagem {
  bool aviso = false;
  bool do_programa = true; // not about a header or the linker's files
  std::string arquivo;
  int linha = 0;
  std::string corpo;
};

bool separa(const std::string &bruta, Mensagem *m) {
  std::string texto = bruta;
  while (!texto.empty() && texto.back() == '\n')
    texto.pop_back();
  const size_t quebra = texto.rfind('\n');
  if (quebra != std::string::npos)
    texto.erase(0, quebra + 1);
  const size_t e = texto.find("error: "), a = texto.find("warning: ");
  if (e == std::string::npos && a == std::string::npos)
    return false; // notes and anything else go to the trace only
  m->aviso = e == std::string::npos || (a != std::string::npos && a < e);
  const size_t pos = m->aviso ? a : e;
  m->corpo = texto.substr(pos + (m->aviso ? strlen("warning: ") : strlen("error: ")));
  const std::string prefixo = texto.substr(0, pos);
  const size_t dois_pontos = prefixo.find(':');
  if (dois_pontos != std::string::npos && prefixo.compare(0, dois_pontos, "tcc") != 0) {
    m->arquivo = prefixo.substr(0, dois_pontos);
    m->linha = atoi(prefixo.c_str() + dois_pontos + 1);
    m->do_programa = m->arquivo == PARSER_ARQUIVO;
  }
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
  for (int l = 1; l < linha && inicio != std::string::npos; l++)
    inicio = codigo.find('\n', inicio) == std::string::npos ? std::string::npos
                                                            : codigo.find('\n', inicio) + 1;
  if (inicio == std::string::npos)
    return {};
  return codigo.substr(inicio, codigo.find('\n', inicio) - inicio);
}

// The learner function called on `linha`, when just one is.
const OlpaFuncao *funcao_chamada(const std::string &codigo, int linha) {
  const std::string texto = linha_do_texto(codigo, linha);
  const OlpaFuncao *achada = nullptr;
  for (const OlpaFuncao &f : OLPA_FUNCOES) {
    const int l = linha_do_nome(texto, f.nome);
    if (l == 0)
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
    if (tipo && n != std::string::npos &&
        linha.find_first_not_of(" \t", n + nome.size()) != std::string::npos &&
        linha[linha.find_first_not_of(" \t", n + nome.size())] == '(')
      return true;
  }
  return false;
}

// How many arguments a prototype of the table takes; -1 for "...".
int argumentos(const OlpaFuncao &f) {
  const std::string p = f.prototipo;
  const std::string dentro = entre(p, "(", ')');
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
      : codigo_(codigo), fonte_(parser_le_fonte(codigo)) {
    for (const std::string &bruta : mensagens) {
      Mensagem m;
      if (!separa(bruta, &m))
        continue;
      if (m.aviso) {
        const std::string nome = entre(m.corpo, "implicit declaration of function '", '\'');
        if (!nome.empty())
          implicitas_.insert(nome);
      } else {
        const std::string nome = entre(m.corpo, "undefined symbol '", '\'');
        if (!nome.empty())
          indefinidos_.insert(nome);
        com_erros_ = true;
      }
      mensagens_.push_back(m);
    }
  }

  std::vector<Diagnostico> resultado() {
    std::vector<Diagnostico> saida;
    for (const Mensagem &m : mensagens_) {
      Diagnostico d;
      if (m.aviso ? !com_erros_ && aviso(m, &d) : erro(m, &d))
        saida.push_back(d);
    }
    if (!com_erros_) {
      for (int linha : fonte_.atribui_em_condicao)
        saida.push_back({true, linha, "'=' guarda um valor na variável; para comparar, use '=='"});
      for (const FonteC::Vazio &v : fonte_.corpo_vazio)
        saida.push_back(
            {true, v.linha,
             "o ';' logo depois do " + v.palavra + "(...) " +
                 (v.palavra == "if" ? "deixa o if sem efeito: o que vem embaixo roda sempre"
                                    : "encerra o laço ali: o que vem embaixo roda uma vez só") +
                 " (tire o ';')"});
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
  // The line where the mistake is, from what the compiler saw and the source.
  int coloca(const Mensagem &m, std::string *texto) {
    int linha = m.linha;
    std::vector<std::string> partes;
    if (m.corpo == "missing terminating \" character" && fonte_.aspas_abertas)
      linha = fonte_.aspas_abertas;
    else if (m.corpo == "missing terminating ' character" && fonte_.apostrofo_aberto)
      linha = fonte_.apostrofo_aberto;
    else if (m.corpo == "unexpected end of file in comment" && fonte_.comentario_aberto)
      linha = fonte_.comentario_aberto;
    else if (linha > fonte_.ultima_com_codigo && fonte_.chave_aberta) {
      *texto = "esta chave { nunca foi fechada: falta um } (cada { precisa do seu })";
      linha = fonte_.chave_aberta;
    } else if (linha > 0 && linha <= fonte_.ultima_com_codigo &&
               parser_casa("'%s' expected (got \"%s\")", m.corpo.c_str(), &partes) &&
               fonte_.primeira[linha] == partes[1]) {
      // What is missing belongs at the end of the line before.
      int antes = linha - 1;
      while (antes > 0 && !fonte_.com_codigo[antes])
        antes--;
      if (antes > 0) {
        *texto = "falta '" + partes[0] + "' no fim desta linha";
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
      nomes_ = parser_le_fonte(codigo_, true).nomes;
      com_nomes_ = true;
    }
    return nomes_;
  }

  std::string voce_quis_dizer(const std::string &nome) {
    std::vector<std::string> candidatos;
    for (const std::string &n : nomes())
      if (!indefinidos_.count(n) && !implicitas_.count(n))
        candidatos.push_back(n);
    const std::string s = parser_sugestao(nome, candidatos);
    return s.empty() ? s : " Você quis dizer '" + s + "'?";
  }

  bool erro(const Mensagem &m, Diagnostico *d) {
    d->aviso = false;
    if (!parser_traduz_erro(m.corpo, &d->texto))
      d->texto = m.corpo;
    if (!m.do_programa) {
      if (m.linha > 0)
        d->texto = "arquivo " + m.arquivo + ", linha " + std::to_string(m.linha) + ": " + d->texto;
      d->linha = 0;
      return true;
    }
    const std::string indefinido = entre(m.corpo, "undefined symbol '", '\'');
    const std::string nao_declarado = entre(m.corpo, "'", '\'');
    if (!indefinido.empty()) {
      // Link errors carry no line: the first use of the missing name.
      d->linha = linha_do_nome(codigo_, indefinido);
      const std::string s = voce_quis_dizer(indefinido);
      if (!s.empty())
        d->texto = "'" + indefinido + "' não existe." + s;
      return true;
    }
    d->linha = m.linha > 0 ? coloca(m, &d->texto) : 0;
    if (g_str_has_suffix(m.corpo.c_str(), "' undeclared")) {
      const std::string s = voce_quis_dizer(nao_declarado);
      if (!s.empty())
        d->texto = "'" + nao_declarado + "' não foi declarado." + s;
    } else if (m.corpo.find("arguments to function") != std::string::npos) {
      d->texto = chamada(d->linha, m.corpo.find("many") != std::string::npos, d->texto);
    } else if (m.corpo.find("redefinition of '") != std::string::npos) {
      d->texto += redefinicao(nao_declarado);
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
    if (parser_funcao_do_olpa(nome))
      return " ('" + nome + "' é uma função do olpa: escolha outro nome)";
    if (parser_cabecalho_de(nome))
      return " ('" + nome + "' é uma função da biblioteca do C, de <" + parser_cabecalho_de(nome) +
             ">: escolha outro nome)";
    return {};
  }

  bool aviso(const Mensagem &m, Diagnostico *d) {
    if (!m.do_programa || parser_aviso_descartado(m.corpo))
      return false;
    d->aviso = true;
    d->linha = m.linha;
    const std::string implicita = entre(m.corpo, "implicit declaration of function '", '\'');
    if (!implicita.empty()) {
      // An unknown name gets its error, with the name meant, at link time.
      if (indefinidos_.count(implicita))
        return false;
      const char *cabecalho = parser_cabecalho_de(implicita);
      if (cabecalho)
        d->texto = "'" + implicita + "' foi usada sem o #include <" + cabecalho +
                   ">: ponha #include <" + cabecalho + "> no começo do programa";
      else if (definida_no_programa(codigo_, implicita))
        d->texto = "a função '" + implicita +
                   "' foi usada antes de ser escrita: escreva-a antes de quem a usa (ou "
                   "declare-a no começo do programa)";
      else
        d->texto = "a função '" + implicita + "' foi usada sem ser declarada (falta um #include?)";
    } else if (g_str_has_prefix(m.corpo.c_str(), "Ignoring unknown preprocessing directive #")) {
      const std::string diretiva = m.corpo.substr(m.corpo.find('#') + 1);
      const std::string s = parser_sugestao_de_diretiva(diretiva);
      d->texto = "a diretiva #" + diretiva + " não existe" +
                 (s.empty() ? "" : ". Você quis dizer #" + s + "?");
    } else if (!parser_traduz_aviso(m.corpo, &d->texto)) {
      d->texto = m.corpo;
    } else if (g_str_has_prefix(m.corpo.c_str(), "assignment makes ")) {
      d->texto =
          troca(d->linha, m.corpo.find("pointer from integer") != std::string::npos, d->texto);
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

std::vector<Diagnostico> parser_diagnosticos(const std::string &codigo,
                                             const std::vector<std::string> &mensagens) {
  return Diagnosticador(codigo, mensagens).resultado();
}
