// The drawing library's own rules, that no C compiler knows: each call of a
// learner function whose argument is a constant out of its range
// (cor(300, 0, 0), espera(20000), escala(0, 2)), told even when the
// program has other errors.
#include "analisa.h"

#include "analise_protocolo.h"

#include <clang-c/Index.h>

#include <cstring>
#include <string>

namespace {

std::string posicoes(CXSourceRange faixa) {
  CXFile arquivo;
  unsigned l1, c1, l2, c2, o;
  clang_getExpansionLocation(clang_getRangeStart(faixa), &arquivo, &l1, &c1, &o);
  clang_getExpansionLocation(clang_getRangeEnd(faixa), &arquivo, &l2, &c2, &o);
  return std::to_string(l1) + "\t" + std::to_string(c1) + "\t" + std::to_string(l2) + "\t" +
         std::to_string(c2);
}

bool fora(const AnaliseFaixa &f, long long valor) {
  return f.sem_zero ? valor == 0 : valor < f.minimo || valor > f.maximo;
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

void confere(CXCursor chamada, std::string *saida) {
  CXString nome = clang_getCursorSpelling(chamada);
  const std::string funcao = clang_getCString(nome) ? clang_getCString(nome) : "";
  clang_disposeString(nome);
  const int n = clang_Cursor_getNumArguments(chamada);
  for (const AnaliseFaixa &f : ANALISE_FAIXAS) {
    if (funcao != f.funcao || f.argumento > n || !da_biblioteca(chamada))
      continue;
    const CXCursor argumento = clang_Cursor_getArgument(chamada, f.argumento - 1);
    CXEvalResult valor = clang_Cursor_Evaluate(argumento);
    if (!valor)
      continue;
    if (clang_EvalResult_getKind(valor) == CXEval_Int &&
        fora(f, clang_EvalResult_getAsLongLong(valor)))
      *saida += "d\ta\t" + posicoes(clang_getCursorExtent(argumento)) + "\t" +
                ANALISE_OPCAO_FAIXA + "\t" + funcao + " " + std::to_string(f.argumento) + " " +
                std::to_string(clang_EvalResult_getAsLongLong(valor)) + "\nn\t" +
                posicoes(clang_getCursorExtent(chamada)) + "\tchamada\n";
    clang_EvalResult_dispose(valor);
  }
}

CXChildVisitResult visita(CXCursor cursor, CXCursor, CXClientData dados) {
  if (!clang_Location_isFromMainFile(clang_getCursorLocation(cursor)))
    return CXChildVisit_Continue;
  if (clang_getCursorKind(cursor) == CXCursor_CallExpr)
    confere(cursor, static_cast<std::string *>(dados));
  return CXChildVisit_Recurse;
}

} // namespace

std::string faixas_confere(void *unidade) {
  std::string saida;
  clang_visitChildren(clang_getTranslationUnitCursor(static_cast<CXTranslationUnit>(unidade)),
                      visita, &saida);
  return saida;
}
