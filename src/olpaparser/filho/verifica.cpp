// SPDX-License-Identifier: GPL-3.0-or-later
// The run-time checks of a learner's program, in its child: tcc's bounds
// checker started on the program's own tables, and every way a program dies
// in its own code (a check failing, a fault, a division by zero, abort)
// noted in shared memory, with the code addresses that name its line; and
// where it was when the application stops it (the time limit, Parar). What
// is noted after main started may have been written by the program itself:
// the application checks it, and a forged note only misleads its author.
#include "filho.h"

#include "olpa_funcoes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <dlfcn.h>
#include <glib.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

uintptr_t texto_inicio, texto_fim; // the program's code (and the checker's, after it)
uintptr_t pilha_topo;              // the stack's top, and how far it may grow
size_t pilha_limite;

Falha &falha() {
  return parser_memoria->falha;
}

bool no_texto(uintptr_t endereco) {
  return endereco >= texto_inicio && endereco < texto_fim;
}

void anota(uintptr_t endereco, EnderecosDaFalha &e = falha().enderecos) {
  if (e.quantos < ENDERECOS_DA_FALHA && no_texto(endereco))
    e.enderecos[e.quantos++] = endereco;
}

// Whether the page of `endereco` can be read: at the stack's end the stack
// pointer may be past what is mapped, and a fault here would end the note.
bool legivel(uintptr_t endereco) {
  unsigned char residente;
  return mincore(reinterpret_cast<void *>(endereco & ~static_cast<uintptr_t>(4095)), 1,
                 &residente) == 0;
}

// Return addresses into the program's code on the stack from `de`: the
// calls that led here, nearest first. Only the part of the stack in use,
// and never far.
void anota_pilha(uintptr_t de, EnderecosDaFalha &e = falha().enderecos) {
  de &= ~static_cast<uintptr_t>(7);
  const uintptr_t ate = std::min(pilha_topo, de + (64u << 10));
  bool pagina_legivel = false;
  for (uintptr_t p = de; p + 8 <= ate && e.quantos < ENDERECOS_DA_FALHA; p += 8) {
    if (p == de || (p & 4095) == 0)
      pagina_legivel = legivel(p);
    if (pagina_legivel)
      anota(*reinterpret_cast<const uintptr_t *>(p), e);
  }
}

// The function a bounds check failed in, as its message names it ("in
// strcpy"), or empty.
void anota_funcao(const char *mensagem) {
  const char *em = strstr(mensagem, " in ");
  g_strlcpy(falha().funcao, em ? em + 4 : "", sizeof falha().funcao);
}

// tcc_backtrace, as the bounds checker calls it on a failed check: `fp` is
// the checking function's frame, whose return address is in the program.
int ao_falhar_verificacao(void *fp, void *, const char *formato, va_list ap) {
  if (formato[0] == '^' && strchr(formato + 1, '^'))
    formato = strchr(formato + 1, '^') + 1;
  char mensagem[256];
  vsnprintf(mensagem, sizeof mensagem, formato, ap);
  Falha &f = falha();
  f.tipo = strstr(mensagem, "freeing invalid region") ? TipoDeFalha::Liberacao
           : strstr(mensagem, "overlapping regions")  ? TipoDeFalha::Sobreposicao
                                                      : TipoDeFalha::ForaDoVetor;
  anota_funcao(mensagem);
  const uintptr_t quadro = reinterpret_cast<uintptr_t>(fp);
  if (quadro >= reinterpret_cast<uintptr_t>(&mensagem) && quadro + 16 <= pilha_topo &&
      legivel(quadro + 8))
    anota(reinterpret_cast<const uintptr_t *>(quadro)[1]);
  anota_pilha(reinterpret_cast<uintptr_t>(&mensagem));
  _exit(SAIDA_VERIFICACAO);
}

// Where the program's allocations go when the bounds checker wraps them:
// to the guards that end a run out of memory, and nowhere that starts a
// thread.
void *(*dlsym_real)(void *, const char *) = dlsym;
void *olpa_dlsym(void *onde, const char *nome) {
  for (const GuardaDeMemoria &g : filho_guardas_de_memoria())
    if (nome && strcmp(nome, g.nome) == 0)
      return g.funcao;
  return dlsym_real(onde, nome);
}

// A fault (or the signal raised by the program): noted, then raised again
// without this handler, so that the child ends by the same signal.
void ao_falhar(int sinal, siginfo_t *info, void *contexto) {
  const auto *uc = static_cast<const ucontext_t *>(contexto);
  const uintptr_t pc = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
  const uintptr_t sp = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
  const uintptr_t bp = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RBP]);
  Falha &f = falha();
  if (sinal == SIGSEGV) {
    // At the stack's end: past its limit, near where the stack pointer is.
    const uintptr_t endereco = reinterpret_cast<uintptr_t>(info->si_addr);
    const bool perto = endereco + (64u << 10) >= sp && endereco <= sp + (64u << 10);
    const bool no_fim = pilha_topo - std::min(pilha_topo, sp) + (1u << 20) >= pilha_limite;
    if ((perto && no_fim) ||
        (endereco < pilha_topo + 65536 && endereco + pilha_limite + (1u << 20) > pilha_topo))
      parser_memoria->pilha_estourou = 1;
  }
  f.quadro = bp > sp ? bp - sp : 0;
  if (const char *funcao = olpa_lendo.funcao) {
    // A learner function reading what the program handed it.
    f.tipo = TipoDeFalha::TextoInvalido;
    g_strlcpy(f.funcao, funcao, sizeof f.funcao);
    anota(reinterpret_cast<uintptr_t>(olpa_lendo.de_onde));
  } else if (no_texto(pc)) {
    f.enderecos.exato = 1;
    anota(pc);
  }
  if (sp < pilha_topo)
    anota_pilha(sp);
  signal(sinal, SIG_DFL);
  raise(sinal); // delivered as the handler returns
}

// The application stops the program (SINAL_DE_PARADA, then SIGKILL): where
// it was is noted, the instruction it was at and the calls that led there,
// and it waits to be killed, drawing nothing more. Only the application's
// request counts: a program that raised the signal itself goes on.
void ao_ser_parado(int, siginfo_t *info, void *contexto) {
  if (info->si_code != SI_USER || info->si_pid != getppid())
    return;
  const auto *uc = static_cast<const ucontext_t *>(contexto);
  const uintptr_t pc = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
  const uintptr_t sp = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
  EnderecosDaFalha &e = parser_memoria->parada;
  e = EnderecosDaFalha{};
  if (no_texto(pc)) {
    e.exato = 1;
    anota(pc, e);
    // jmp to itself (short or near): an empty loop, which has no line of its own.
    const auto *codigo = reinterpret_cast<const unsigned char *>(pc);
    parser_memoria->parada_no_salto =
        (pc + 2 <= texto_fim && codigo[0] == 0xeb && codigo[1] == 0xfe) ||
        (pc + 5 <= texto_fim && codigo[0] == 0xe9 && codigo[1] == 0xfb && codigo[2] == 0xff &&
         codigo[3] == 0xff && codigo[4] == 0xff);
  }
  if (sp < pilha_topo)
    anota_pilha(sp, e);
  parser_memoria->parada_anotada = 1;
  sigset_t nenhum;
  sigfillset(&nenhum);
  for (;;)
    sigsuspend(&nenhum);
}

// The table of the bounds of the program's static data: it starts with the
// pair (address, size) of the prelude's marker, somewhere in the relocated
// block.
void *tabela_de_limites(TCCState *s, const void *bloco, size_t tamanho) {
  const auto marco = reinterpret_cast<uintptr_t>(tcc_get_symbol(s, COMPILA_MARCO_DE_LIMITES));
  if (!marco)
    return nullptr;
  const auto *p = static_cast<const uintptr_t *>(bloco);
  for (size_t i = 0; i + 1 < tamanho / sizeof(uintptr_t); i++)
    if (p[i] == marco && p[i + 1] == COMPILA_TAMANHO_DO_MARCO)
      return const_cast<uintptr_t *>(p + i);
  return nullptr;
}

} // namespace

void verifica_registra(TCCState *s) {
  if (compila_verificando())
    tcc_add_symbol(s, "dlsym", reinterpret_cast<const void *>(olpa_dlsym));
  else
    for (const GuardaDeMemoria &g : filho_guardas_de_memoria())
      tcc_add_symbol(s, g.nome, g.funcao);
}

void verifica_prepara(TCCState *s, const void *bloco, size_t tamanho) {
  Falha &f = falha();
  f = Falha{};
  f.enderecos.principal = reinterpret_cast<uintptr_t>(tcc_get_symbol(s, "main"));
  texto_inicio = reinterpret_cast<uintptr_t>(bloco);
  const auto fim = reinterpret_cast<uintptr_t>(tcc_get_symbol(s, "_etext"));
  texto_fim = fim > texto_inicio ? fim : texto_inicio + tamanho;
  if (!compila_verificando())
    return;
  using Inicia = void (*)(void *, int);
  if (auto inicia = reinterpret_cast<Inicia>(tcc_get_symbol(s, "__bound_init")))
    inicia(tabela_de_limites(s, bloco, tamanho), 1);
  if (auto *erro = static_cast<void **>(tcc_get_symbol(s, "__rt_error")))
    *erro = reinterpret_cast<void *>(ao_falhar_verificacao);
}

void verifica_so_o_programa(const TabelaDeLinhas &t) {
  // Stale words on the stack (a deep library frame's buffers, left by the
  // compiler) point into the block's data too; sixteen of those would hide
  // the return address into the learner's code.
  if (t.base != 0 && t.tamanho > 0) {
    texto_inicio = static_cast<uintptr_t>(t.base);
    texto_fim = static_cast<uintptr_t>(t.base + t.tamanho);
  }
}

void verifica_sinais(uintptr_t topo, size_t limite) {
  pilha_topo = topo;
  pilha_limite = limite;
  struct sigaction sa {};
  sa.sa_sigaction = ao_falhar;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  for (int sinal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    sigaction(sinal, &sa, nullptr);
  struct sigaction parada {};
  parada.sa_sigaction = ao_ser_parado;
  parada.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigfillset(&parada.sa_mask); // nothing else runs meanwhile
  sigaction(SINAL_DE_PARADA, &parada, nullptr);
}
