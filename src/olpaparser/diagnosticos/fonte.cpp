// SPDX-License-Identifier: GPL-3.0-or-later
// A quick look at C source: tokens one by one (comments, strings and
// character constants skipped, but noted when they never close), and what
// the compiler's messages need from them.
#include "fonte.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace {

bool letra(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool digito(char c) {
  return c >= '0' && c <= '9';
}

// Operators of two characters; anything else is a token of one.
bool operador_duplo(char a, char b) {
  static const char *const DUPLOS[] = {"==", "!=", "<=", ">=", "&&", "||", "->", "++", "--", "<<",
                                       ">>", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "##"};
  for (const char *d : DUPLOS)
    if (d[0] == a && d[1] == b)
      return true;
  return false;
}

struct Ficha {
  size_t inicio = 0, tamanho = 0;
  int linha = 0;
  bool primeira = false; // the first token of its line
  bool diretiva = false; // on a preprocessor line
  int recuo = 0;         // the blanks that begin its line (a tab to the next multiple of 8)
};

// The tokens of a text, in order, with what the skipping of comments,
// strings and character constants noticed.
class Varredor {
public:
  Varredor(const char *texto, size_t tamanho) : t_(texto), n_(tamanho) {}

  bool proxima(Ficha *f) {
    while (i_ < n_) {
      const char c = t_[i_];
      if (c == '\n') {
        nova_linha();
        continue;
      }
      if (c == '\\' && i_ + 1 < n_ && t_[i_ + 1] == '\n') { // the line goes on
        i_++;
        nova_linha(true);
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        if (!viu_ficha_)
          recuo_ = c == '\t' ? (recuo_ / 8 + 1) * 8 : recuo_ + 1;
        i_++;
        continue;
      }
      if (c == '/' && i_ + 1 < n_ && t_[i_ + 1] == '/') {
        while (i_ < n_ && t_[i_] != '\n')
          i_ += t_[i_] == '\\' && i_ + 1 < n_ && t_[i_ + 1] == '\n' ? 2 : 1;
        continue;
      }
      if (c == '/' && i_ + 1 < n_ && t_[i_ + 1] == '*') {
        pula_comentario();
        continue;
      }
      *f = Ficha{i_, 0, linha_, !viu_ficha_, diretiva_, recuo_};
      if (!viu_ficha_ && c == '#')
        diretiva_ = f->diretiva = true;
      viu_ficha_ = true;
      if (c == '"' || c == '\'') {
        pula_literal(c);
      } else if (diretiva_ && c == '<' && inclusao_) {
        while (i_ < n_ && t_[i_] != '\n' && t_[i_] != '>')
          i_++;
        i_ += i_ < n_ && t_[i_] == '>';
      } else if (letra(c) || digito(c)) {
        while (i_ < n_ && (letra(t_[i_]) || digito(t_[i_]) || (digito(c) && t_[i_] == '.')))
          i_++;
      } else {
        i_ += i_ + 1 < n_ && operador_duplo(c, t_[i_ + 1]) ? 2 : 1;
      }
      f->tamanho = i_ - f->inicio;
      if (diretiva_ && f->tamanho == 7 && memcmp(t_ + f->inicio, "include", 7) == 0)
        inclusao_ = true;
      return true;
    }
    return false;
  }

  int linha() const { return linha_; }
  int aspas_abertas = 0, apostrofo_aberto = 0, comentario_aberto = 0;

private:
  void nova_linha(bool continua = false) {
    i_++;
    linha_++;
    if (continua)
      return;
    viu_ficha_ = false;
    diretiva_ = inclusao_ = false;
    recuo_ = 0;
  }

  void pula_comentario() {
    const int inicio = linha_;
    for (i_ += 2; i_ < n_; i_++) {
      if (t_[i_] == '*' && i_ + 1 < n_ && t_[i_ + 1] == '/') {
        i_ += 2;
        return;
      }
      if (t_[i_] == '\n')
        linha_++;
    }
    comentario_aberto = inicio;
  }

  // A string or character constant; one that reaches the end of its line
  // ends there, as the compiler would have it.
  void pula_literal(char aspa) {
    for (i_++; i_ < n_; i_++) {
      if (t_[i_] == '\\' && i_ + 1 < n_) {
        if (t_[i_ + 1] == '\n')
          linha_++;
        i_++;
      } else if (t_[i_] == aspa) {
        i_++;
        return;
      } else if (t_[i_] == '\n') {
        break;
      }
    }
    int &aberto = aspa == '"' ? aspas_abertas : apostrofo_aberto;
    if (!aberto)
      aberto = linha_;
  }

  const char *t_;
  size_t n_, i_ = 0;
  int linha_ = 1;
  int recuo_ = 0;
  bool viu_ficha_ = false, diretiva_ = false, inclusao_ = false;
};

bool e(const char *t, const Ficha &f, const char *palavra) {
  return f.tamanho == strlen(palavra) && memcmp(t + f.inicio, palavra, f.tamanho) == 0;
}

struct Aberta {
  int linha, recuo;
};

} // namespace

FonteC fonte_le(const std::string &codigo, bool com_nomes) {
  FonteC fonte;
  Varredor v(codigo.data(), codigo.size());
  const char *t = codigo.data();
  std::vector<Aberta> abertas;
  std::unordered_set<std::string> vistos;
  int pulada = 0;              // the first { a } closed past, by indentation
  bool apos_cerquilha = false; // the directive's own name is no name of the program
  auto linha = [&](int n) {
    if (static_cast<int>(fonte.com_codigo.size()) <= n) {
      fonte.com_codigo.resize(n + 1, false);
      fonte.primeira.resize(n + 1);
    }
  };
  for (Ficha f; v.proxima(&f);) {
    linha(f.linha);
    fonte.com_codigo[f.linha] = true;
    fonte.ultima_com_codigo = f.linha;
    if (f.primeira)
      fonte.primeira[f.linha].assign(t + f.inicio, f.tamanho);
    if (com_nomes && !apos_cerquilha && letra(t[f.inicio]) &&
        vistos.emplace(t + f.inicio, f.tamanho).second)
      fonte.nomes.emplace_back(t + f.inicio, f.tamanho);
    apos_cerquilha = f.diretiva && f.primeira;
    if (f.diretiva)
      continue;
    if (e(t, f, "{")) {
      abertas.push_back({f.linha, f.recuo});
    } else if (e(t, f, "}") && !abertas.empty()) {
      // A "}" that begins its line closes the "{" of a line indented as
      // its own: any brace opened after that one was never closed.
      size_t k = abertas.size() - 1;
      if (f.primeira)
        for (size_t j = abertas.size(); j-- > 0;)
          if (abertas[j].recuo == f.recuo) {
            k = j;
            break;
          }
      if (k + 1 < abertas.size() && !pulada)
        pulada = abertas[k + 1].linha;
      abertas.resize(k);
    }
  }
  fonte.chave_aberta = pulada ? pulada : abertas.empty() ? 0 : abertas.back().linha;
  fonte.aspas_abertas = v.aspas_abertas;
  fonte.apostrofo_aberto = v.apostrofo_aberto;
  fonte.comentario_aberto = v.comentario_aberto;
  const bool termina_em_linha = !codigo.empty() && codigo.back() == '\n';
  fonte.linhas = static_cast<int>(std::count(codigo.begin(), codigo.end(), '\n')) +
                 (termina_em_linha || codigo.empty() ? 0 : 1);
  linha(std::max(fonte.linhas, 1));
  return fonte;
}

int fonte_linha_da_abertura(const char *texto, size_t ate) {
  Varredor v(texto, ate);
  std::vector<int> abertas;
  for (Ficha f; v.proxima(&f);) {
    if (f.diretiva)
      continue;
    if (e(texto, f, "{"))
      abertas.push_back(f.linha - 1);
    else if (e(texto, f, "}") && !abertas.empty())
      abertas.pop_back();
  }
  return abertas.empty() ? -1 : abertas.back();
}
