// The compiler's messages in the learner's language: each on the line where
// the mistake is (the end of the line missing a ';', where a string or a
// comment opens, the '{' never closed), with the name meant when a name
// looks like a slip; the warnings that point at real mistakes kept as
// "[aviso]", the noise dropped.
#include "parser_diagnosticos.h"

#include "olpa_funcoes.h"
#include "parser_fonte.h"
#include "parser_nomes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include <glib.h>

namespace {

struct Traducao {
  const char *original; // tcc's wording; "%s" stands for any text
  const char *traducao; // "%1", "%2" take the texts matched by the "%s"
};

// Most specific patterns first: the first match wins.
const Traducao ERROS[] = {
    {"'%s' undeclared", "'%1' não foi declarado (faltou declarar a variável ou a função?)"},
    {"'%s' expected (got \"%s\")", "esperava '%1' antes de \"%2\""},
    {"identifier expected", "esperava um nome (identificador)"},
    {"undefined symbol '%s'", "'%1' não existe: nenhuma função ou variável tem esse nome"},
    {"too many arguments to function", "argumentos demais na chamada da função"},
    {"too few arguments to function", "faltam argumentos na chamada da função"},
    {"cannot convert '%s' to '%s'", "tipos incompatíveis: não dá para converter '%1' em '%2'"},
    {"incompatible types for redefinition of '%s'", "'%1' foi redefinido com outro tipo"},
    {"incompatible redefinition of '%s'", "'%1' foi redefinido com outro tipo"},
    {"redefinition of '%s'", "'%1' foi definido mais de uma vez"},
    {"redeclaration of '%s'", "'%1' foi declarado mais de uma vez"},
    {"missing terminating \" character", "texto sem a aspa de fechamento (\")"},
    {"missing terminating ' character", "caractere sem o apóstrofo de fechamento (')"},
    {"unexpected end of file in comment", "comentário sem fim: falta o */ de fechamento"},
    {"unexpected end of file", "o programa terminou antes da hora (falta fechar uma chave?)"},
    {"include file '%s' not found", "arquivo de cabeçalho '%1' não encontrado"},
    {"file '%s' not found", "arquivo '%1' não encontrado"},
    {"lvalue expected", "só uma variável pode receber um valor com '=' (para comparar, use '==')"},
    {"function pointer expected", "isto não é uma função e não pode ser chamado"},
    // After every more specific "... expected".
    {"%s expected", "esperava %1"},
    {"'%s' is not declared as function", "'%1' não foi declarado como função"},
    {"cannot break", "'break' fora de um laço ou de um switch"},
    {"cannot continue", "'continue' fora de um laço"},
    {"label '%s' used but not defined", "o rótulo '%1' é usado mas não foi definido"},
    {"invalid operands for binary operation", "operandos inválidos para esta operação"},
    {"invalid operand types for binary operation", "operandos inválidos para esta operação"},
    {"declaration of void object", "não existe variável do tipo void"},
    {"invalid number syntax", "número escrito de forma inválida"},
    {"invalid number", "número escrito de forma inválida"},
    {"invalid digit", "dígito inválido no número"},
    {"unknown escape sequence: %s", "sequência de escape desconhecida: %1"},
    {"field not found: %s", "o campo '%1' não existe"},
    {"invalid array size", "tamanho de vetor inválido"},
    {"division by zero in constant", "divisão por zero"},
    {"macro '%s' used with too few args", "faltam argumentos na macro '%1'"},
    {"macro '%s' used with too many args", "argumentos demais na macro '%1'"},
};

// Warnings that point at real mistakes.
const Traducao AVISOS[] = {
    {"assignment makes pointer from integer without a cast",
     "um número foi usado onde se espera um ponteiro (um texto vai entre aspas duplas: \"oi\")"},
    {"assignment makes integer from pointer without a cast",
     "um ponteiro (um texto entre aspas?) foi usado onde se espera um número"},
    {"assignment from incompatible pointer type",
     "ponteiros de tipos diferentes: confira o tipo do que foi passado ou guardado"},
    {"assignment discards qualifiers from pointer target type",
     "um ponteiro para const foi passado ou guardado num ponteiro sem const"},
    {"assignment of read-only location", "um valor const não pode ser mudado"},
    {"function might return no value: '%s'",
     "a função '%1' pode chegar ao fim sem devolver um valor (falta um return?)"},
    {"'return' with no value", "return sem valor numa função que devolve um valor"},
    {"void function returns a value",
     "uma função void não devolve valor: tire o valor do return (ou mude o tipo da função)"},
    {"multi-character character constant",
     "entre apóstrofos (') vai um caractere só: um texto vai entre aspas duplas (\"oi\")"},
    {"pointer/integer mismatch in %s", "um ponteiro comparado com um número"},
    {"shift count >= width of type", "deslocamento (<< ou >>) maior que o tamanho do número"},
    {"integer constant overflow", "número grande demais para o seu tipo"},
    {"initializer-string for array is too long",
     "o texto não cabe no vetor (conte também o '\\0' do fim)"},
    {"unknown escape sequence: %s", "sequência de escape desconhecida: %1"},
    {"label '%s' declared but not used", "o rótulo '%1' não é usado"},
    {"%s redefined", "a macro '%1' foi definida de novo"},
    {"storage mismatch for redefinition of '%s'",
     "'%1' foi declarado de dois jeitos (com e sem static)"},
    {"static storage ignored for redefinition of '%s'",
     "'%1' foi declarado de dois jeitos (com e sem static)"},
    {"empty case range", "faixa de case vazia"},
    {"ill-formed UTF-8 subsequence starting with: %s", "caractere inválido no texto: %1"},
    {"#warning %s", "%1"},
};

// Warnings that are noise for a learner (the reference lists them).
const char *const AVISOS_DESCARTADOS[] = {
    "cast between pointer and integer of different size",
    "'%s' attribute ignored%s",
    "#pragma %s is ignored",
    "deprecated use of label at end of compound statement",
    "unnamed struct/union that defines no instances",
    "attribute '__cleanup__' ignored on type",
    "pasting %s does not give a valid preprocessing token",
    "unbalanced #pragma pop_macro",
    "unsupported %s",
    "change type of '%s' from %s ignored",
    "ignoring %s",
    "alignment > 4096",
    "__mode__(%s) not supported%s",
    "inline asm tries to change current section",
};

// Matches `texto` against a pattern whose "%s" match any (possibly empty) text.
bool casa(const char *padrao, const char *texto, std::vector<std::string> *partes) {
  if (*padrao == '\0')
    return *texto == '\0';
  if (padrao[0] == '%' && padrao[1] == 's') {
    for (const char *fim = texto;; fim++) {
      partes->emplace_back(texto, fim);
      if (casa(padrao + 2, fim, partes))
        return true;
      partes->pop_back();
      if (*fim == '\0')
        return false;
    }
  }
  return *padrao == *texto && casa(padrao + 1, texto + 1, partes);
}

template <size_t N>
bool traduz(const Traducao (&tabela)[N], const std::string &texto, std::string *saida) {
  for (const Traducao &t : tabela) {
    std::vector<std::string> partes;
    if (!casa(t.original, texto.c_str(), &partes))
      continue;
    saida->clear();
    for (const char *p = t.traducao; *p; p++) {
      if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' &&
          static_cast<size_t>(p[1] - '1') < partes.size()) {
        *saida += partes[p[1] - '1'];
        p++;
      } else {
        *saida += *p;
      }
    }
    return true;
  }
  return false;
}

bool descartado(const std::string &texto) {
  for (const char *padrao : AVISOS_DESCARTADOS) {
    std::vector<std::string> partes;
    if (casa(padrao, texto.c_str(), &partes))
      return true;
  }
  return false;
}

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
               casa("'%s' expected (got \"%s\")", m.corpo.c_str(), &partes) &&
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
    if (!traduz(ERROS, m.corpo, &d->texto))
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
    if (!m.do_programa || descartado(m.corpo))
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
    } else if (!traduz(AVISOS, m.corpo, &d->texto)) {
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

std::vector<std::string> parser_avisos_descartados() {
  return {std::begin(AVISOS_DESCARTADOS), std::end(AVISOS_DESCARTADOS)};
}
