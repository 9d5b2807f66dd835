// SPDX-License-Identifier: GPL-3.0-or-later
// One translation unit of clang's, kept from one text to the next: the
// program is a file in memory, with the learner functions' declarations
// included in front of it (its lines untouched), and each new text is a
// reparse that keeps the preamble of its #includes when they did not change.
#include "analisa.h"

#include "analise_protocolo.h"
#include "olpa_funcoes.h"

#include <clang-c/Index.h>

#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr char PROGRAMA[] = "/olpa/programa.c";
constexpr char DECLARACOES[] = "/olpa/olpa.h";

// What a learner meets: C as tcc takes it, every warning that points at a
// real mistake, none that only asks for tidiness (a draft has variables
// not used yet).
const char *const ARGUMENTOS[] = {
    "-xc",
    "-std=gnu11",
    "-include",
    DECLARACOES,
    "-Wall",
    "-Wextra",
    "-Wno-unused-parameter",
    "-Wno-unused-variable",
    "-Wno-unused-but-set-variable",
    "-Wno-unused-function",
    "-Wno-unused-const-variable",
    "-Wno-sign-compare",
    "-Wno-missing-field-initializers",
    "-Wloop-analysis",
    "-ferror-limit=100",
};

CXIndex indice;
CXTranslationUnit unidade;
std::string declaracoes;

std::string sem_quebras(const char *texto) {
  std::string s = texto ? texto : "";
  for (char &c : s)
    if (c == '\t' || c == '\n' || c == '\r')
      c = ' ';
  return s;
}

std::string texto_de(CXString s) {
  std::string t = sem_quebras(clang_getCString(s));
  clang_disposeString(s);
  return t;
}

struct Posicao {
  unsigned linha = 0, coluna = 0;
};

// Where `local` is in the program's text, as the learner wrote it (a
// macro's use, not its definition); line 0 when it is elsewhere.
bool e_o_programa(CXFile arquivo) {
  CXString nome = clang_getFileName(arquivo);
  const bool programa = clang_getCString(nome) && strcmp(clang_getCString(nome), PROGRAMA) == 0;
  clang_disposeString(nome);
  return programa;
}

Posicao no_programa(CXSourceLocation local) {
  Posicao p;
  CXFile arquivo;
  unsigned deslocamento;
  clang_getExpansionLocation(local, &arquivo, &p.linha, &p.coluna, &deslocamento);
  return e_o_programa(arquivo) ? p : Posicao{};
}

// "L\tC\tL2\tC2" of a range in the program; zeros for what is not in it.
std::string campos(CXSourceRange faixa) {
  const Posicao a = no_programa(clang_getRangeStart(faixa));
  Posicao b = no_programa(clang_getRangeEnd(faixa));
  if (a.linha == 0 || b.linha == 0 || b.linha < a.linha)
    b = a;
  return std::to_string(a.linha) + "\t" + std::to_string(a.coluna) + "\t" +
         std::to_string(b.linha) + "\t" + std::to_string(b.coluna);
}

// The diagnostic's own place, stretched over the range that holds it (its
// end one past the range's last byte), or over the ranges on both sides of
// it (an operator's operands); without any, the reader takes the word there.
std::string lugar(CXDiagnostic d) {
  const Posicao p = no_programa(clang_getDiagnosticLocation(d));
  Posicao antes = p, depois = p;
  bool esquerda = false, direita = false;
  for (unsigned i = 0; i < clang_getDiagnosticNumRanges(d); i++) {
    const CXSourceRange faixa = clang_getDiagnosticRange(d, i);
    const Posicao a = no_programa(clang_getRangeStart(faixa));
    const Posicao b = no_programa(clang_getRangeEnd(faixa));
    if (a.linha != p.linha || b.linha != p.linha)
      continue;
    if (a.coluna <= p.coluna && p.coluna < b.coluna)
      return campos(faixa);
    if (b.coluna <= p.coluna && (!esquerda || a.coluna < antes.coluna))
      antes = a, esquerda = true;
    if (a.coluna > p.coluna && (!direita || b.coluna > depois.coluna))
      depois = b, direita = true;
  }
  if (esquerda && direita)
    return std::to_string(p.linha) + "\t" + std::to_string(antes.coluna) + "\t" +
           std::to_string(p.linha) + "\t" + std::to_string(depois.coluna);
  return std::to_string(p.linha) + "\t" + std::to_string(p.coluna) + "\t0\t0";
}

std::string diagnostico(CXDiagnostic d, const Arvore &arvore) {
  const CXDiagnosticSeverity gravidade = clang_getDiagnosticSeverity(d);
  if (gravidade == CXDiagnostic_Ignored || gravidade == CXDiagnostic_Note ||
      no_programa(clang_getDiagnosticLocation(d)).linha == 0)
    return {};
  std::string linha = std::string("d\t") + (gravidade >= CXDiagnostic_Error ? "e" : "a") + "\t" +
                      lugar(d) + "\t" + texto_de(clang_getDiagnosticOption(d, nullptr)) + "\t" +
                      texto_de(clang_getDiagnosticSpelling(d)) + "\n";
  CXFile arquivo;
  unsigned onde = 0;
  clang_getExpansionLocation(clang_getDiagnosticLocation(d), &arquivo, nullptr, nullptr, &onde);
  linha += arvore_notas(arvore, onde);
  CXDiagnosticSet notas = clang_getChildDiagnostics(d);
  for (unsigned i = 0; i < clang_getNumDiagnosticsInSet(notas); i++) {
    CXDiagnostic nota = clang_getDiagnosticInSet(notas, i);
    // A note at a macro's definition: the place where the macro is spelled.
    unsigned l = 0, c = 0, o = 0;
    clang_getSpellingLocation(clang_getDiagnosticLocation(nota), &arquivo, &l, &c, &o);
    if (!e_o_programa(arquivo))
      l = c = 0;
    linha += "n\t" + std::to_string(l) + "\t" + std::to_string(c) + "\t0\t0\t" +
             texto_de(clang_getDiagnosticSpelling(nota)) + "\n";
    clang_disposeDiagnostic(nota);
  }
  return linha;
}

// The program's object-like macros whose text ends in ';' (#define TAMANHO
// 200;), by name, with the line of their #define; and the lines each is used
// on. Read from clang's tokens of the program: a use's error need not point
// at the macro (i < TAMANHO; is "expected expression").
struct DefinesComPontoEVirgula {
  std::map<std::string, unsigned> definidos;
  std::map<unsigned, std::set<std::string>> usos;
};

DefinesComPontoEVirgula defines_com_ponto_e_virgula() {
  DefinesComPontoEVirgula d;
  CXFile programa = clang_getFile(unidade, PROGRAMA);
  size_t tamanho = 0;
  if (!programa || !clang_getFileContents(unidade, programa, &tamanho))
    return d;
  const CXSourceRange tudo =
      clang_getRange(clang_getLocationForOffset(unidade, programa, 0),
                     clang_getLocationForOffset(unidade, programa, static_cast<unsigned>(tamanho)));
  CXToken *fichas = nullptr;
  unsigned n = 0;
  clang_tokenize(unidade, tudo, &fichas, &n);
  auto linha_de = [&](unsigned i) {
    unsigned l = 0;
    clang_getSpellingLocation(clang_getTokenLocation(unidade, fichas[i]), nullptr, &l, nullptr,
                              nullptr);
    return l;
  };
  auto texto = [&](unsigned i) { return texto_de(clang_getTokenSpelling(unidade, fichas[i])); };
  std::vector<std::pair<unsigned, std::string>> nomes; // every identifier, with its line
  for (unsigned i = 0; i < n; i++) {
    const unsigned linha = linha_de(i);
    if (texto(i) == "#" && i + 2 < n && texto(i + 1) == "define" && linha_de(i + 2) == linha) {
      const std::string nome = texto(i + 2);
      unsigned fim = i + 3;
      while (fim < n && linha_de(fim) == linha)
        fim++;
      // Object-like: no '(' right after the name.
      const bool funcao = i + 3 < fim && texto(i + 3) == "(" &&
                          clang_getTokenExtent(unidade, fichas[i + 3]).begin_int_data ==
                              clang_getTokenExtent(unidade, fichas[i + 2]).end_int_data;
      if (!funcao && fim > i + 3 && texto(fim - 1) == ";")
        d.definidos.emplace(nome, linha);
      i = fim - 1;
    } else if (clang_getTokenKind(fichas[i]) == CXToken_Identifier) {
      nomes.emplace_back(linha, texto(i));
    }
  }
  clang_disposeTokens(unidade, fichas, n);
  for (const auto &[linha, nome] : nomes)
    if (d.definidos.count(nome))
      d.usos[linha].insert(nome);
  return d;
}

// A note for an error on a line that uses such a macro: the mistake is at
// its #define.
std::string nota_de_define(CXDiagnostic d, const DefinesComPontoEVirgula &defines) {
  if (clang_getDiagnosticSeverity(d) < CXDiagnostic_Error)
    return {};
  const auto usos = defines.usos.find(no_programa(clang_getDiagnosticLocation(d)).linha);
  if (usos == defines.usos.end())
    return {};
  const std::string &nome = *usos->second.begin();
  return "n\t" + std::to_string(defines.definidos.at(nome)) + "\t1\t0\t0\t" + ANALISE_NOTA_DEFINE +
         " '" + nome + "'\n";
}

CXUnsavedFile arquivo(const char *nome, const std::string &texto) {
  return {nome, texto.data(), static_cast<unsigned long>(texto.size())};
}

} // namespace

void unidade_prepara() {
  indice = clang_createIndex(0, 0);
  declaracoes = olpa_funcoes_declaracoes();
}

std::string unidade_analisa(const std::string &texto) {
  CXUnsavedFile arquivos[] = {arquivo(PROGRAMA, texto), arquivo(DECLARACOES, declaracoes)};
  if (unidade && clang_reparseTranslationUnit(unidade, std::size(arquivos), arquivos,
                                              clang_defaultReparseOptions(unidade)) != 0) {
    clang_disposeTranslationUnit(unidade);
    unidade = nullptr;
  }
  if (!unidade && clang_parseTranslationUnit2(indice, PROGRAMA, ARGUMENTOS, std::size(ARGUMENTOS),
                                              arquivos, std::size(arquivos),
                                              CXTranslationUnit_PrecompiledPreamble |
                                                  CXTranslationUnit_CreatePreambleOnFirstParse |
                                                  CXTranslationUnit_KeepGoing,
                                              &unidade) != CXError_Success)
    return {};
  const Arvore arvore = arvore_percorre(unidade);
  const DefinesComPontoEVirgula defines = defines_com_ponto_e_virgula();
  std::string resposta;
  for (unsigned i = 0; i < clang_getNumDiagnostics(unidade); i++) {
    CXDiagnostic d = clang_getDiagnostic(unidade, i);
    const std::string achado = diagnostico(d, arvore);
    // Its own notes come after the finding's line, this one first of them.
    const size_t fim = achado.find('\n');
    resposta += fim == std::string::npos ? achado
                                         : achado.substr(0, fim + 1) + nota_de_define(d, defines) +
                                               achado.substr(fim + 1);
    clang_disposeDiagnostic(d);
  }
  return resposta + arvore.faixas + arvore_sem_main(arvore, unidade);
}
