// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a learner's program by address of its code, in the child
// that runs it. The child compiles the program to an object file first and
// links that: its debugging table (stabs: functions and their lines by
// offset) is read there, before main runs, and handed to the application
// with where the code landed. The application maps a fault's addresses (or
// any call's) to lines with it, without compiling anything itself.
#include "filho.h"

#include <algorithm>
#include <cstring>

#include <elf.h>

namespace {

// One entry of the stabs table, as the object file holds it.
struct Stab {
  uint32_t texto;
  uint8_t tipo, outro;
  uint16_t descricao; // the line, for functions and lines
  uint32_t valor;     // the offset: in .text for a function, in the function for a line
};
constexpr uint8_t N_FUN = 0x24, N_SLINE = 0x44, N_BINCL = 0x82, N_EINCL = 0xa2;

// The program's lines by offset in its code, and where main is, read from
// an object file (every offset checked against the file's size).
class Tabela {
public:
  explicit Tabela(const std::string &elf) : e_(elf) {
    if (e_.size() < sizeof(Elf64_Ehdr) || memcmp(e_.data(), ELFMAG, SELFMAG) != 0)
      return;
    const auto *cab = reinterpret_cast<const Elf64_Ehdr *>(e_.data());
    if (!cabe(cab->e_shoff, sizeof(Elf64_Shdr) * cab->e_shnum) || cab->e_shstrndx >= cab->e_shnum)
      return;
    secoes_ = reinterpret_cast<const Elf64_Shdr *>(e_.data() + cab->e_shoff);
    n_ = cab->e_shnum;
    const Elf64_Shdr *texto = secao(".text"), *stab = secao(".stab"), *stabstr = secao(".stabstr");
    const Elf64_Shdr *simbolos = secao(".symtab");
    if (!texto || !stab || !stabstr || !simbolos || simbolos->sh_link >= n_)
      return;
    tamanho_texto_ = texto->sh_size;
    const uint32_t indice_texto = static_cast<uint32_t>(texto - secoes_);
    if (!le_simbolos(*simbolos, indice_texto))
      return;
    le_linhas(*stab, secao(".rela.stab"), *simbolos);
  }

  bool valida() const { return principal_ >= 0 && !linhas_.empty(); }
  long principal() const { return principal_; }
  uint64_t tamanho_texto() const { return tamanho_texto_; }
  std::vector<LinhaDoCodigo> &linhas() { return linhas_; }

private:
  bool cabe(uint64_t inicio, uint64_t tamanho) const {
    return inicio <= e_.size() && tamanho <= e_.size() - inicio;
  }

  const Elf64_Shdr *secao(const char *nome) const {
    const Elf64_Shdr &nomes = secoes_[reinterpret_cast<const Elf64_Ehdr *>(e_.data())->e_shstrndx];
    for (uint32_t i = 0; i < n_; i++)
      if (cabe(secoes_[i].sh_offset, secoes_[i].sh_size) && secoes_[i].sh_name < nomes.sh_size &&
          cabe(nomes.sh_offset, nomes.sh_size) &&
          strncmp(e_.data() + nomes.sh_offset + secoes_[i].sh_name, nome,
                  nomes.sh_size - secoes_[i].sh_name) == 0)
        return &secoes_[i];
    return nullptr;
  }

  bool le_simbolos(const Elf64_Shdr &simbolos, uint32_t indice_texto) {
    const Elf64_Shdr &nomes = secoes_[simbolos.sh_link];
    if (!cabe(nomes.sh_offset, nomes.sh_size))
      return false;
    simbolos_ = reinterpret_cast<const Elf64_Sym *>(e_.data() + simbolos.sh_offset);
    n_simbolos_ = simbolos.sh_size / sizeof(Elf64_Sym);
    for (size_t i = 0; i < n_simbolos_; i++)
      if (simbolos_[i].st_shndx == indice_texto && simbolos_[i].st_name < nomes.sh_size &&
          strcmp(e_.data() + nomes.sh_offset + simbolos_[i].st_name, "main") == 0)
        principal_ = static_cast<long>(simbolos_[i].st_value);
    return true;
  }

  // Functions start where their symbols say (the stab's own value is 0 in an
  // object file, with a relocation to the symbol); their lines are relative.
  void le_linhas(const Elf64_Shdr &stab, const Elf64_Shdr *rela, const Elf64_Shdr &) {
    const auto *entradas = reinterpret_cast<const Stab *>(e_.data() + stab.sh_offset);
    const size_t n = stab.sh_size / sizeof(Stab);
    std::vector<int64_t> valores(n, -1);
    if (rela && cabe(rela->sh_offset, rela->sh_size)) {
      const auto *r = reinterpret_cast<const Elf64_Rela *>(e_.data() + rela->sh_offset);
      for (size_t i = 0; i < rela->sh_size / sizeof(Elf64_Rela); i++) {
        const size_t entrada = r[i].r_offset / sizeof(Stab), simbolo = ELF64_R_SYM(r[i].r_info);
        if (entrada < n && simbolo < n_simbolos_)
          valores[entrada] = static_cast<int64_t>(simbolos_[simbolo].st_value) + r[i].r_addend;
      }
    }
    int incluido = 0; // lines of headers are not the program's
    int64_t funcao = -1;
    for (size_t i = 0; i < n; i++) {
      const Stab &s = entradas[i];
      if (s.tipo == N_BINCL)
        incluido++;
      else if (s.tipo == N_EINCL && incluido > 0)
        incluido--;
      else if (s.tipo == N_FUN && s.texto != 0)
        funcao = incluido ? -1 : valores[i];
      if (funcao < 0 || incluido)
        continue;
      if (s.tipo == N_FUN && s.texto != 0)
        linhas_.push_back({static_cast<uint32_t>(funcao), s.descricao});
      else if (s.tipo == N_SLINE)
        linhas_.push_back({static_cast<uint32_t>(funcao + s.valor), s.descricao});
    }
    std::stable_sort(
        linhas_.begin(), linhas_.end(),
        [](const LinhaDoCodigo &a, const LinhaDoCodigo &b) { return a.inicio < b.inicio; });
  }

  const std::string &e_;
  const Elf64_Shdr *secoes_ = nullptr;
  uint32_t n_ = 0;
  const Elf64_Sym *simbolos_ = nullptr;
  size_t n_simbolos_ = 0;
  long principal_ = -1;
  uint64_t tamanho_texto_ = 0;
  std::vector<LinhaDoCodigo> linhas_;
};

} // namespace

bool linhas_le_objeto(const std::string &elf, TabelaDeLinhas *t, uint64_t *principal) {
  Tabela tabela(elf);
  if (!tabela.valida())
    return false;
  t->tamanho = tabela.tamanho_texto();
  t->linhas = std::move(tabela.linhas());
  *principal = static_cast<uint64_t>(tabela.principal());
  return true;
}

int linhas_linha(const TabelaDeLinhas &t, uint64_t endereco) {
  if (t.base == 0 || endereco < t.base || endereco - t.base >= t.tamanho)
    return 0;
  const uint64_t offset = endereco - t.base;
  auto depois = std::upper_bound(t.linhas.begin(), t.linhas.end(), offset,
                                 [](uint64_t o, const LinhaDoCodigo &l) { return o < l.inicio; });
  return depois == t.linhas.begin() ? 0 : std::prev(depois)->linha;
}

int linhas_da_falha(const TabelaDeLinhas &t, int ultima, const EnderecosDaFalha &f,
                    bool mais_frequente) {
  std::vector<int> linhas;
  for (uint32_t i = 0; i < std::min<uint32_t>(f.quantos, ENDERECOS_DA_FALHA); i++) {
    // A return address is just past its call, which may end the line.
    const uint64_t volta = i == 0 && f.exato ? 0 : 1;
    const int linha = linhas_linha(t, f.enderecos[i] - volta);
    if (linha >= 1 && linha <= ultima)
      linhas.push_back(linha);
  }
  if (linhas.empty())
    return 0;
  if (!mais_frequente)
    return linhas.front();
  // The call that repeats down the stack (the first of equals wins).
  int melhor = linhas.front();
  for (int l : linhas)
    if (std::count(linhas.begin(), linhas.end(), l) >
        std::count(linhas.begin(), linhas.end(), melhor))
      melhor = l;
  return melhor;
}
