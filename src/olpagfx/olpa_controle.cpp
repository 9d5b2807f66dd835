// SPDX-License-Identifier: GPL-3.0-or-later
// Which construct of a program's text kept a call from running. The text
// compiled, so it is C: a small reader of tokens (comments, strings,
// character constants and preprocessor lines skipped) and of statements,
// enough to know the loops, ifs, elses, switches and functions around
// each call, and the lines they span.
#include "olpa_avisos.h"

#include <algorithm>
#include <cctype>

namespace {

struct Token {
  std::string texto; // a name, a number, or one character
  int linha;
};

std::vector<Token> tokens_de(const std::string &c) {
  std::vector<Token> tokens;
  int linha = 1;
  bool comeco_de_linha = true;
  for (size_t i = 0; i < c.size();) {
    const char ch = c[i];
    if (ch == '\n') {
      linha++, i++, comeco_de_linha = true;
    } else if (isspace(static_cast<unsigned char>(ch))) {
      i++;
    } else if (ch == '#' && comeco_de_linha) { // to the line's end, continuations too
      for (; i < c.size() && c[i] != '\n'; i++)
        if (c[i] == '\\' && i + 1 < c.size() && c[i + 1] == '\n')
          i++, linha++;
    } else if (c.compare(i, 2, "//") == 0) {
      i = std::min(c.find('\n', i), c.size());
    } else if (c.compare(i, 2, "/*") == 0) {
      const size_t fim = std::min(c.find("*/", i + 2), c.size());
      linha += static_cast<int>(
          std::count(c.begin() + static_cast<long>(i), c.begin() + static_cast<long>(fim), '\n'));
      i = std::min(fim + 2, c.size());
    } else if (ch == '"' || ch == '\'') {
      for (i++; i < c.size() && c[i] != ch && c[i] != '\n'; i++)
        i += c[i] == '\\' && i + 1 < c.size() && c[i + 1] != '\n';
      tokens.push_back({std::string(1, ch), linha});
      i++;
    } else if (isalnum(static_cast<unsigned char>(ch)) || ch == '_') {
      const size_t inicio = i;
      while (i < c.size() && (isalnum(static_cast<unsigned char>(c[i])) || c[i] == '_'))
        i++;
      tokens.push_back({c.substr(inicio, i - inicio), linha});
    } else {
      tokens.push_back({std::string(1, ch), linha}), i++;
    }
    comeco_de_linha = comeco_de_linha && (ch == '\n' || isspace(static_cast<unsigned char>(ch)));
  }
  return tokens;
}

struct Bloco {
  OlpaBloco tipo;
  int linha, fim;
  std::string nome;
  int pai;       // -1: none
  size_t inicio; // its first token (a loop's keyword)
};

// Statements, as far as the constructs around each call go.
class Leitor {
public:
  Leitor(std::vector<Token> t, const std::vector<std::string> &nomes)
      : t_(std::move(t)), nomes_(nomes) {}
  const std::vector<Token> &tokens() const { return t_; }

  void le() {
    while (i_ < t_.size()) {
      if (nome(i_) && e(i_ + 1, "(")) {
        const Token &f = t_[i_++];
        parenteses(-1);
        if (e(i_, "{")) {
          const int b =
              novo(f.texto == "main" ? OlpaBloco::Nenhum : OlpaBloco::Funcao, f.linha, -1);
          blocos_[b].nome = f.texto;
          chaves(b);
          fecha(b);
        }
      } else if (e(i_, "{")) {
        chaves(-1);
      } else {
        i_++;
      }
    }
  }

  int chamada = 0; // the first call's line
  int dentro = -1; // ... and the innermost construct around it
  std::vector<Bloco> blocos_;

private:
  bool e(size_t i, const char *texto) const { return i < t_.size() && t_[i].texto == texto; }
  bool nome(size_t i) const {
    return i < t_.size() &&
           (isalpha(static_cast<unsigned char>(t_[i].texto[0])) || t_[i].texto[0] == '_');
  }
  int linha() const { return i_ < t_.size() ? t_[i_].linha : t_.empty() ? 0 : t_.back().linha; }
  int novo(OlpaBloco tipo, int linha, int pai) {
    blocos_.push_back({tipo, linha, linha, "", pai, i_});
    return static_cast<int>(blocos_.size()) - 1;
  }
  void fecha(int b) { blocos_[b].fim = t_[std::min(i_, t_.size()) - 1].linha; }

  // One token of an expression: a call of a name that is looked for.
  void token(int dentro) {
    if (!chamada && nome(i_) && e(i_ + 1, "(") &&
        std::find(nomes_.begin(), nomes_.end(), t_[i_].texto) != nomes_.end())
      chamada = t_[i_].linha, this->dentro = dentro;
    i_++;
  }
  // From an opening bracket to its closing one.
  void parenteses(int dentro) {
    int fundo = 0;
    do {
      fundo += e(i_, "(") || e(i_, "[") || e(i_, "{");
      fundo -= e(i_, ")") || e(i_, "]") || e(i_, "}");
      token(dentro);
    } while (i_ < t_.size() && fundo > 0);
  }
  void chaves(int dentro) {
    i_++;
    while (i_ < t_.size() && !e(i_, "}"))
      comando(dentro);
    i_++;
  }
  void sob(OlpaBloco tipo, int dentro) {
    const int b = novo(tipo, linha(), dentro);
    comando(b);
    fecha(b);
  }
  void comando(int dentro) {
    if (i_ >= t_.size())
      return;
    const std::string &p = t_[i_].texto;
    if (p == "{")
      return chaves(dentro);
    if (p == "for" || p == "while" || p == "if" || p == "switch") {
      const int b = novo(p == "if"       ? OlpaBloco::Se
                         : p == "switch" ? OlpaBloco::Escolha
                                         : OlpaBloco::Laco,
                         linha(), dentro);
      i_++;
      parenteses(dentro);
      comando(b);
      fecha(b);
      if (p == "if" && e(i_, "else"))
        sob(OlpaBloco::Senao, dentro);
      return;
    }
    if (p == "else") // an else's statement starts after the word
      return i_++, comando(dentro);
    if (p == "do") {
      const int b = novo(OlpaBloco::Laco, linha(), dentro);
      i_++;
      comando(b);
      fecha(b);
      if (e(i_, "while"))
        i_++, parenteses(dentro);
    } else if (p == "case" || p == "default") {
      while (i_ < t_.size() && !e(i_, ":"))
        i_++;
      i_++;
      return;
    }
    int fundo = 0; // an expression, to its ";"
    while (i_ < t_.size() && !(fundo == 0 && (e(i_, ";") || e(i_, "}")))) {
      fundo += e(i_, "(") || e(i_, "[") || e(i_, "{");
      fundo -= e(i_, ")") || e(i_, "]") || e(i_, "}");
      token(dentro);
    }
    if (e(i_, ";"))
      i_++;
  }

  std::vector<Token> t_;
  const std::vector<std::string> &nomes_;
  size_t i_ = 0;
};

} // namespace

OlpaControle olpa_controle_da_chamada(const std::string &codigo,
                                      const std::vector<std::string> &nomes,
                                      const std::vector<int> &rodaram) {
  Leitor leitor(tokens_de(codigo), nomes);
  leitor.le();
  OlpaControle c;
  c.chamada = leitor.chamada;
  // The constructs around the call, innermost first (main is none).
  std::vector<const Bloco *> volta;
  for (int b = leitor.dentro; b >= 0; b = leitor.blocos_[b].pai)
    if (leitor.blocos_[b].tipo != OlpaBloco::Nenhum)
      volta.push_back(&leitor.blocos_[b]);
  if (!c.chamada || volta.empty())
    return c;
  const Bloco *escolhido = volta.front();
  for (const Bloco *b : volta) // the outermost in which nothing ran
    if (std::none_of(rodaram.begin(), rodaram.end(),
                     [b](int l) { return l >= b->linha && l <= b->fim; }))
      escolhido = b;
  c.tipo = escolhido->tipo;
  c.linha = escolhido->linha;
  c.funcao = escolhido->nome;
  return c;
}

namespace {

// Whether the statement at token `i` of `t` does nothing but count (a name
// stepped up or down: i++, i += 2, i = i - 1), or nothing at all, in any
// number of loops, braces and empty statements; `*conta` once something
// counts (in a statement or a for's last part). `i` ends past it.
class Contador {
public:
  explicit Contador(const std::vector<Token> &t) : t_(t) {}

  // Whether the loop whose keyword is at `i` has nothing in its body.
  bool vazio(size_t i) const {
    if (e(i, "for") || e(i, "while")) {
      i = par(i + 1);
      if (i == 0)
        return false;
    }
    size_t fim = ++i;
    int fundo = 0;
    for (; fim < t_.size(); fim++) {
      if (!e(fim, "{") && !e(fim, "}") && !e(fim, ";"))
        return false;
      fundo += e(fim, "{") - e(fim, "}");
      if (fundo == 0)
        return true;
    }
    return false;
  }

  bool comando(size_t *i, bool *conta) {
    if (*i >= t_.size())
      return false;
    const std::string &p = t_[*i].texto;
    if (p == ";")
      return ++*i, true;
    if (p == "{") {
      for (++*i; *i < t_.size() && !e(*i, "}");)
        if (!comando(i, conta))
          return false;
      return *i < t_.size() && (++*i, true);
    }
    // A loop that counts ends somewhere: its condition names what it counts.
    if (p == "for" || p == "while") {
      const size_t abre = *i + 1, fecha = par(abre);
      if (fecha == 0 || !tem_nome(p == "for" ? depois_do_ponto(abre, fecha, 1) : abre,
                                  p == "for" ? depois_do_ponto(abre, fecha, 2) : fecha))
        return false;
      if (p == "for")
        *conta = *conta || passo_do_for(abre, fecha);
      *i = fecha + 1;
      return comando(i, conta);
    }
    if (p == "do") {
      ++*i;
      if (!comando(i, conta) || !e(*i, "while"))
        return false;
      const size_t abre = *i + 1, fecha = par(abre);
      *i = fecha + 1;
      return fecha != 0 && tem_nome(abre, fecha) && e(*i, ";") && (++*i, true);
    }
    size_t fim = *i;
    while (fim < t_.size() && !e(fim, ";") && !e(fim, "}"))
      fim++;
    if (!e(fim, ";") || !contagem(*i, fim))
      return false;
    *conta = true;
    *i = fim + 1;
    return true;
  }

private:
  bool e(size_t i, const char *texto) const { return i < t_.size() && t_[i].texto == texto; }
  bool nome(size_t i) const {
    return i < t_.size() &&
           (isalpha(static_cast<unsigned char>(t_[i].texto[0])) || t_[i].texto[0] == '_');
  }
  bool numero(size_t i) const {
    return i < t_.size() && isdigit(static_cast<unsigned char>(t_[i].texto[0]));
  }
  bool mais_ou_menos(size_t i) const { return e(i, "+") || e(i, "-"); }
  // The ")" that closes the "(" at `abre`; 0 when there is none.
  size_t par(size_t abre) const {
    if (!e(abre, "("))
      return 0;
    int fundo = 0;
    for (size_t i = abre; i < t_.size(); i++) {
      fundo += e(i, "(") - e(i, ")");
      if (fundo == 0)
        return i;
    }
    return 0;
  }
  // Where a for's part `n` begins (past its n-th ";"), within (abre, fecha).
  size_t depois_do_ponto(size_t abre, size_t fecha, int n) const {
    size_t i = abre + 1;
    for (int pontos = 0; i < fecha && pontos < n; i++)
      pontos += e(i, ";");
    return i;
  }
  bool tem_nome(size_t de, size_t ate) const {
    for (size_t i = de; i < ate; i++)
      if (nome(i))
        return true;
    return false;
  }
  // A for's last part steps something: "++" or "--", "+=" or "-=".
  bool passo_do_for(size_t abre, size_t fecha) const {
    for (size_t i = depois_do_ponto(abre, fecha, 2); i + 1 < fecha; i++)
      if (mais_ou_menos(i) && (e(i + 1, t_[i].texto.c_str()) || e(i + 1, "=")))
        return true;
    return false;
  }
  // The tokens [de, ate) are "n++", "++n", "n--", "--n", "n += 1", "n -= k"
  // or "n = n + 1".
  bool contagem(size_t de, size_t ate) const {
    const size_t n = ate - de;
    if (n == 3 && nome(de) && mais_ou_menos(de + 1) && e(de + 2, t_[de + 1].texto.c_str()))
      return true;
    if (n == 3 && mais_ou_menos(de) && e(de + 1, t_[de].texto.c_str()) && nome(de + 2))
      return true;
    if (n == 4 && nome(de) && mais_ou_menos(de + 1) && e(de + 2, "=") &&
        (numero(de + 3) || nome(de + 3)))
      return true;
    return n == 5 && nome(de) && e(de + 1, "=") && t_[de + 2].texto == t_[de].texto &&
           mais_ou_menos(de + 3) && numero(de + 4);
  }

  const std::vector<Token> &t_;
};

} // namespace

OlpaLaco olpa_controle_laco_da_linha(const std::string &codigo, int linha) {
  const std::vector<std::string> nenhum;
  Leitor leitor(tokens_de(codigo), nenhum);
  leitor.le();
  OlpaLaco laco;
  const Bloco *dentro = nullptr; // the innermost loop around the line: blocks come outer first
  for (const Bloco &b : leitor.blocos_)
    if (b.tipo == OlpaBloco::Laco && b.linha <= linha && b.fim >= linha)
      dentro = &b;
  if (!dentro)
    return laco;
  laco.linha = dentro->linha;
  size_t i = dentro->inicio;
  bool conta = false;
  laco.so_conta = Contador(leitor.tokens()).comando(&i, &conta) && conta;
  return laco;
}

int olpa_controle_laco_vazio(const std::string &codigo, int desde) {
  const std::vector<std::string> nenhum;
  Leitor leitor(tokens_de(codigo), nenhum);
  leitor.le();
  const Contador contador(leitor.tokens());
  for (const Bloco &b : leitor.blocos_) // in the text's order
    if (b.tipo == OlpaBloco::Laco && b.linha >= desde && contador.vazio(b.inicio))
      return b.linha;
  return 0;
}
