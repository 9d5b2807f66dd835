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
  int pai; // -1: none
};

// Statements, as far as the constructs around each call go.
class Leitor {
public:
  Leitor(std::vector<Token> t, const std::vector<std::string> &nomes)
      : t_(std::move(t)), nomes_(nomes) {}

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
    blocos_.push_back({tipo, linha, linha, "", pai});
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
