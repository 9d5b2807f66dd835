// SPDX-License-Identifier: GPL-3.0-or-later
// One walk over the program's syntax tree: the drawing library's own
// rules, that no C compiler knows (a call of a learner function whose
// argument is a constant out of its range: cor(300, 0, 0), espera(20000),
// escala(0, 2); told even when the program has other errors), and where
// each function and each call is, to name them in the findings.
#include "analisa.h"

#include "analise_protocolo.h"
#include "olpa_funcoes.h"

#include <clang-c/Index.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

unsigned deslocamento(CXSourceLocation local) {
  CXFile arquivo;
  unsigned l, c, o = 0;
  clang_getExpansionLocation(local, &arquivo, &l, &c, &o);
  return o;
}

std::string nome_de(CXCursor cursor) {
  CXString nome = clang_getCursorSpelling(cursor);
  std::string s = clang_getCString(nome) ? clang_getCString(nome) : "";
  clang_disposeString(nome);
  return s;
}

Trecho trecho(CXCursor cursor) {
  const CXSourceRange faixa = clang_getCursorExtent(cursor);
  return {deslocamento(clang_getRangeStart(faixa)), deslocamento(clang_getRangeEnd(faixa)),
          nome_de(cursor), deslocamento(clang_getCursorLocation(cursor))};
}

std::string posicoes(CXSourceRange faixa) {
  CXFile arquivo;
  unsigned l1, c1, l2, c2, o;
  clang_getExpansionLocation(clang_getRangeStart(faixa), &arquivo, &l1, &c1, &o);
  clang_getExpansionLocation(clang_getRangeEnd(faixa), &arquivo, &l2, &c2, &o);
  return std::to_string(l1) + "\t" + std::to_string(c1) + "\t" + std::to_string(l2) + "\t" +
         std::to_string(c2);
}

// A range that says something (the table leaves the others whole).
bool tem_faixa(const OlpaFaixa &f) {
  return f.sem_zero || f.minimo != INT_MIN || f.maximo != INT_MAX;
}

// A call of `nome` that the learner functions' declarations declare (not a
// function of the program's own of that name).
bool da_biblioteca(CXCursor chamada) {
  const CXCursor funcao = clang_getCursorReferenced(chamada);
  if (clang_Cursor_isNull(funcao))
    return false;
  CXFile arquivo;
  clang_getExpansionLocation(clang_getCursorLocation(funcao), &arquivo, nullptr, nullptr, nullptr);
  CXString nome = clang_getFileName(arquivo);
  const bool nossa = clang_getCString(nome) && strstr(clang_getCString(nome), "/olpa/olpa.h");
  clang_disposeString(nome);
  return nossa;
}

// The first argument out of its range (the learner functions' table's),
// when one is.
void confere(CXCursor chamada, std::string *saida) {
  const std::string funcao = nome_de(chamada);
  const size_t indice = olpa_funcao_indice(funcao.c_str());
  if (indice == OLPA_NUM_FUNCOES || !da_biblioteca(chamada))
    return;
  const int n = std::min(clang_Cursor_getNumArguments(chamada), OLPA_MAX_ARGUMENTOS);
  for (int k = 0; k < n; k++) {
    const OlpaFaixa &f = OLPA_FUNCOES[indice].faixas[k];
    if (!tem_faixa(f))
      continue;
    const CXCursor argumento = clang_Cursor_getArgument(chamada, static_cast<unsigned>(k));
    CXEvalResult valor = clang_Cursor_Evaluate(argumento);
    if (!valor)
      continue;
    const long long v = clang_EvalResult_getAsLongLong(valor);
    const bool achou = clang_EvalResult_getKind(valor) == CXEval_Int && v >= INT_MIN &&
                       v <= INT_MAX && !olpa_faixa_contem(f, static_cast<int>(v));
    clang_EvalResult_dispose(valor);
    if (achou) {
      *saida += "d\ta\t" + posicoes(clang_getCursorExtent(argumento)) + "\t" + ANALISE_OPCAO_FAIXA +
                "\t" + funcao + " " + std::to_string(k + 1) + " " + std::to_string(v) + "\nn\t" +
                posicoes(clang_getCursorExtent(chamada)) + "\tchamada\n";
      return;
    }
  }
}

CXChildVisitResult visita(CXCursor cursor, CXCursor, CXClientData dados) {
  if (!clang_Location_isFromMainFile(clang_getCursorLocation(cursor)))
    return CXChildVisit_Continue;
  Arvore *arvore = static_cast<Arvore *>(dados);
  const CXCursorKind tipo = clang_getCursorKind(cursor);
  if (tipo == CXCursor_CallExpr) {
    confere(cursor, &arvore->faixas);
    arvore->chamadas.push_back(trecho(cursor));
  } else if (tipo == CXCursor_FunctionDecl && clang_isCursorDefinition(cursor)) {
    arvore->funcoes.push_back(trecho(cursor));
  }
  return CXChildVisit_Recurse;
}

const Trecho *menor_em_volta(const std::vector<Trecho> &trechos, unsigned onde,
                             bool depois_do_nome) {
  const Trecho *menor = nullptr;
  for (const Trecho &t : trechos)
    if (t.inicio <= onde && onde < t.fim && (!depois_do_nome || onde > t.inicio + t.nome.size()) &&
        (!menor || t.fim - t.inicio < menor->fim - menor->inicio))
      menor = &t;
  return menor;
}

} // namespace

Arvore arvore_percorre(void *unidade) {
  Arvore arvore;
  clang_visitChildren(clang_getTranslationUnitCursor(static_cast<CXTranslationUnit>(unidade)),
                      visita, &arvore);
  return arvore;
}

std::string arvore_sem_main(const Arvore &arvore, void *unidade) {
  for (const Trecho &f : arvore.funcoes)
    if (f.nome == "main")
      return {};
  std::string achados;
  CXTranslationUnit tu = static_cast<CXTranslationUnit>(unidade);
  CXFile programa = nullptr;
  for (const Trecho &f : arvore.funcoes) {
    if (!programa)
      programa = clang_getFile(tu, "/olpa/programa.c");
    CXFile arquivo;
    unsigned l, c, o;
    clang_getExpansionLocation(clang_getLocationForOffset(tu, programa, f.onde), &arquivo, &l, &c,
                               &o);
    achados += "d\ta\t" + std::to_string(l) + "\t" + std::to_string(c) + "\t" + std::to_string(l) +
               "\t" + std::to_string(c + f.nome.size()) + "\t" + ANALISE_OPCAO_SEM_MAIN + "\t" +
               f.nome + "\n";
  }
  return achados;
}

std::string arvore_notas(const Arvore &arvore, unsigned onde) {
  std::string notas;
  if (const Trecho *f = menor_em_volta(arvore.funcoes, onde, false))
    notas += "n\t0\t0\t0\t0\tolpa-funcao " + f->nome + "\n";
  if (const Trecho *c = menor_em_volta(arvore.chamadas, onde, true))
    notas += "n\t0\t0\t0\t0\tolpa-chamada " + c->nome + "\n";
  return notas;
}
