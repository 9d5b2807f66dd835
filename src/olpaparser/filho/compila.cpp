// SPDX-License-Identifier: GPL-3.0-or-later
// How every program is compiled, linked and run: behind a prelude that
// declares the learner functions (their lines untouched: the prelude ends by
// numbering the next line 1, of "programa"), with tcc's bounds checks when
// its checker is installed, to an object file first (whose table of lines is
// read before the program runs), then linked into memory with the learner
// functions, and main called. Who hosts it (the child, or the benchmarks'
// in-process floor) is told of each step through a Hospedeiro.
#include "filho.h"

#include "olpa_funcoes.h"
#include "diagnosticos.h"

#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include <glib.h>

#ifndef OLPA_TCC_DIR
#error "OLPA_TCC_DIR must name tcc's own library folder (where bcheck.o is)"
#endif

TCCState *tcc_estado;

namespace {

using MainDoPrograma = int (*)(int, char **);

const Hospedeiro *hospedeiro;

// The memory file the program's object file goes through: in a child, made
// before it is confined (a program may not make them).
int fd_objeto = -1;

std::string caminho_do_objeto() {
  return "/proc/self/fd/" + std::to_string(fd_objeto);
}

// The compiler's messages of this compile and link, shown together once it
// is known which matter (an unknown name's warning is dropped for its error).
std::vector<std::string> mensagens;
std::string diagnosticos_de; // the program's code the messages are about

void parser_erro(void *, const char *mensagem) {
  hospedeiro->rastro(mensagem, strlen(mensagem));
  hospedeiro->rastro("\n", 1);
  mensagens.emplace_back(mensagem);
}

// The messages translated and placed, each to the host.
void mostra_diagnosticos() {
  for (const Diagnostico &d : diagnosticos_do_compilador(diagnosticos_de, mensagens))
    hospedeiro->mensagem(d);
  mensagens.clear();
}

// tcc's error function for both of a run's compiler states.
void prepara_estado(TCCState *s, int tipo_de_saida) {
  tcc_set_error_func(s, &tcc_estado, parser_erro);
  compila_ajusta(s, tipo_de_saida);
}

// The program compiled to an object file (in memory), so that its table of
// lines is known before it runs: empty when it did not compile.
std::string compila_objeto(const std::string &texto) {
  TccPtr s(tcc_new());
  if (!s)
    return {};
  prepara_estado(s.get(), TCC_OUTPUT_OBJ);
  politica_vigia(true);
  const int compilou = tcc_compile_string(s.get(), texto.c_str());
  politica_vigia(false);
  if (compilou == -1)
    return {};
  std::string objeto;
  if (fd_objeto < 0)
    compila_prepara_objeto();
  if (fd_objeto >= 0 && ftruncate(fd_objeto, 0) == 0 &&
      tcc_output_file(s.get(), caminho_do_objeto().c_str()) == 0) {
    const off_t tamanho = lseek(fd_objeto, 0, SEEK_END);
    objeto.assign(tamanho > 0 ? static_cast<size_t>(tamanho) : 0, '\0');
    if (pread(fd_objeto, objeto.data(), objeto.size(), 0) != static_cast<ssize_t>(objeto.size()))
      objeto.clear();
  }
  return objeto;
}

// The object file linked into memory, behind the learner functions and the
// host's names: null when it could not be (the reason told already).
std::unique_ptr<void, decltype(&free)> liga(const std::string &objeto, int *tamanho) {
  std::unique_ptr<void, decltype(&free)> bloco(nullptr, free);
  // The object file is still in its memory file, as tcc wrote it.
  tcc_set_options(tcc_estado, "-xb"); // an object file, whatever its name
  if (objeto.empty() || tcc_add_file(tcc_estado, caminho_do_objeto().c_str()) != 0) {
    hospedeiro->evento(Evento::NaoLigou);
    return bloco;
  }
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    tcc_add_symbol(tcc_estado, f.nome, f.endereco);
  hospedeiro->registra(tcc_estado);
  politica_vigia(true);
  *tamanho = tcc_relocate(tcc_estado, nullptr);
  politica_vigia(false);
  mostra_diagnosticos();
  if (*tamanho == -1) {
    hospedeiro->evento(Evento::NaoLigou);
    return bloco;
  }
  bloco.reset(malloc(static_cast<size_t>(*tamanho)));
  politica_vigia(true);
  const bool ligado = bloco && tcc_relocate(tcc_estado, bloco.get()) != -1;
  politica_vigia(false);
  if (!ligado) {
    bloco.reset();
    hospedeiro->evento(Evento::GrandeDemais);
  }
  return bloco;
}

} // namespace

const std::string &compila_preludio() {
  static const std::string preludio =
      olpa_funcoes_declaracoes() + "char " + COMPILA_MARCO_DE_LIMITES + "[" +
      std::to_string(COMPILA_TAMANHO_DO_MARCO) + "];\n#line 1 \"" + DIAGNOSTICOS_ARQUIVO + "\"\n";
  return preludio;
}

bool compila_verificando() {
  static const bool instalado = g_file_test(OLPA_TCC_DIR "/bcheck.o", G_FILE_TEST_IS_REGULAR);
  return instalado && parser_ajustes.verificar;
}

void compila_ajusta(TCCState *s, int tipo_de_saida) {
  // The table of lines (stabs) comes with the bounds checks, or on its own.
  tcc_set_options(s, compila_verificando() ? "-b" : "-g");
  tcc_set_output_type(s, tipo_de_saida);
}

void compila_prepara_objeto() {
  if (fd_objeto < 0)
    fd_objeto = memfd_create("programa.o", MFD_CLOEXEC);
}

void compila_fecha_objeto() {
  if (fd_objeto >= 0)
    close(fd_objeto);
  fd_objeto = -1;
}

int compila_e_roda(const std::string &texto, const Hospedeiro &h) {
  hospedeiro = &h;
  const std::string codigo = texto.substr(compila_preludio().size());
  diagnosticos_de = codigo;
  if (!h.confina())
    return 0;
  double t = parser_agora_ms();
  tcc_estado = tcc_new();
  if (!tcc_estado) {
    h.evento(Evento::SemCompilador);
    return 0;
  }
  TccPtr dono(tcc_estado);
  prepara_estado(tcc_estado, TCC_OUTPUT_MEMORY);
  if (const int linha = politica_pragma_proibido(codigo)) {
    mensagens.push_back(std::string(DIAGNOSTICOS_ARQUIVO) + ":" + std::to_string(linha) +
                        ": error: #pragma comment não é permitido no olpa: um programa não "
                        "escolhe opções nem bibliotecas do compilador");
    mostra_diagnosticos();
    h.evento(Evento::NaoCompilou);
    return 0;
  }
  const std::string objeto = compila_objeto(texto);
  parser_memoria->compila = parser_agora_ms() - t;
  t = parser_agora_ms();
  if (objeto.empty()) {
    mostra_diagnosticos();
    h.evento(Evento::NaoCompilou);
    return 0;
  }
  int tamanho = 0;
  auto bloco = liga(objeto, &tamanho);
  if (!bloco)
    return 0;
  h.ligado(tcc_estado, bloco.get(), static_cast<size_t>(tamanho));
  parser_memoria->liga = parser_agora_ms() - t;
  auto principal = reinterpret_cast<MainDoPrograma>(tcc_get_symbol(tcc_estado, "main"));
  TabelaDeLinhas tabela;
  uint64_t principal_no_objeto = 0;
  if (!principal)
    h.evento(Evento::SemMain);
  else if (linhas_le_objeto(objeto, &tabela, &principal_no_objeto)) {
    tabela.base = reinterpret_cast<uintptr_t>(principal) - principal_no_objeto;
    verifica_so_o_programa(tabela);
  }
  h.solta(tabela);
  parser_memoria->programa = parser_agora_ms();
  int codigo_saida = 0;
  if (principal) {
    char nome[] = "programa";
    char *argv[] = {nome, nullptr};
    codigo_saida = principal(1, argv);
  }
  h.fim(codigo_saida);
  parser_memoria->programa = parser_agora_ms() - parser_memoria->programa;
  return 1;
}
