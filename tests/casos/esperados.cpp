// SPDX-License-Identifier: GPL-3.0-or-later
// What a run gave against a case's expected files (README.md): the console
// and what else the window shows as NOME.console, the picture against
// NOME.png and the pixels of NOME.pontos; on a mismatch the first differing
// line, or the number of differing pixels and a diff picture.
#include "caso.h"
#include "olpagfx.h"

#include <cstdlib>
#include <sstream>

#include <glib.h>
#include <sys/stat.h>

// The console text with runs of equal lines written once, then what else
// the window would show: the expected file's format.
std::string relato(const Rodada &r) {
  std::string s, anterior;
  int repeticoes = 0; // more than once again: said once, and how many times more
  const auto fecha = [&] {
    s += repeticoes > 1 ? "#= repetida mais " + std::to_string(repeticoes) + " vezes\n"
         : repeticoes   ? anterior + "\n"
                        : "";
  };
  std::istringstream linhas(r.console);
  for (std::string linha; std::getline(linhas, linha);) {
    if (linha == anterior && ++repeticoes)
      continue;
    fecha();
    s += linha + "\n", anterior = linha, repeticoes = 0;
  }
  fecha();
  if (!r.console.empty() && r.console.back() != '\n')
    s += "#= sem quebra de linha no fim\n";
  s += "#= resultado " + std::to_string(r.resultado) + (r.erro ? ", console de erro\n" : "\n");
  const auto lista = [&s](const char *titulo, const std::vector<int> &linhas) {
    for (size_t i = 0; i < linhas.size(); i++)
      s += (i ? " " : titulo) + std::to_string(linhas[i]) + (i + 1 < linhas.size() ? "" : "\n");
  };
  lista("#= linhas marcadas ", r.linhas);
  lista("#= linhas com aviso ", r.avisos);
  s += "#= exportar " + r.caminho + (olpa_arquivo_gravamanual ? " (gravação manual)\n" : "\n") +
       "#= telas:";
  for (const std::string &nome : nomes_em(raiz + "/telas")) {
    // What is not a regular file is named for what it is (and never opened).
    struct stat info;
    lstat((raiz + "/telas/" + nome).c_str(), &info);
    if (!S_ISREG(info.st_mode)) {
      const std::string alvo =
          S_ISLNK(info.st_mode) ? glib(g_file_read_link((raiz + "/telas/" + nome).c_str(), nullptr))
                                : "";
      s += " " + nome +
           (S_ISLNK(info.st_mode)    ? " (link para " + alvo + ")"
            : S_ISFIFO(info.st_mode) ? " (pipe)"
            : S_ISDIR(info.st_mode)  ? " (pasta)"
                                     : " (especial)");
      continue;
    }
    const std::string b = le_arquivo(raiz + "/telas/" + nome);
    Imagem im;
    s += " " + nome +
         (b.size() > 25 && b[24] == 8 && b[25] == 6 && le_png(raiz + "/telas/" + nome, &im)
              ? " " + std::to_string(im.largura) + "x" + std::to_string(im.altura)
              : " (" + std::to_string(b.size()) + " bytes, não é PNG RGBA)");
  }
  return s + (nomes_em(raiz + "/telas").empty() ? " nada\n" : "\n");
}

std::string sem_avisos(const std::string &texto) {
  static const bool sem_analise = getenv("OLPA_SEM_ANALISE") != nullptr;
  if (!sem_analise)
    return texto;
  std::istringstream linhas(texto);
  std::string resto;
  for (std::string linha; std::getline(linhas, linha);)
    if (linha.rfind("[aviso] ", 0) != 0 && linha.rfind("#= linhas com aviso", 0) != 0 &&
        linha.rfind("[olpa] a análise do programa", 0) != 0)
      resto += linha + "\n";
  return resto;
}

void confere_texto(const std::string &passo, const std::string &arquivo,
                   const std::string &obtido) {
  if (regrava)
    escreve_arquivo(arquivo, obtido);
  else if (!existe(arquivo))
    falha(passo, "falta " + arquivo + " (OLPA_REGRAVA=1 faz um)");
  else if (sem_avisos(le_arquivo(arquivo)) != sem_avisos(obtido))
    falha(passo, arquivo + " difere na " + primeira_diferenca(le_arquivo(arquivo), obtido));
}

// ------------------------------------------------------------ pictures

// Hand-computed pixels (README.md): "X Y #AARRGGBB", ranges "X0-X1", "~T".
void confere_pontos(const std::string &passo, const std::string &arquivo, std::string nome) {
  std::istringstream linhas(le_arquivo(arquivo));
  Imagem im;
  bool lida = le_png(nome, &im);
  const auto faixa = [](const std::string &t, int *a, int *b) {
    return sscanf(t.c_str(), "%d-%d", a, b) == 2 ||
           (sscanf(t.c_str(), "%d", a) == 1 && (*b = *a, true));
  };
  for (std::string linha; std::getline(linhas, linha);) {
    if (linha.empty() || linha[0] == '#')
      continue;
    if (linha[0] == '[') {
      const std::string outra = linha.substr(1, linha.find(']') - 1);
      lida = le_png(nome = outra == "vista" ? vista : "../telas/" + outra, &im);
      continue;
    }
    std::istringstream in(linha);
    std::string xs, ys, cs;
    in >> xs >> ys >> cs;
    int x0, x1, y0, y1, tol = 0;
    unsigned cor;
    if (!faixa(xs, &x0, &x1) || !faixa(ys, &y0, &y1) ||
        sscanf(cs.c_str(), "#%x~%d", &cor, &tol) < 1)
      falha(passo, "linha de pontos ilegível: " + linha);
    long erradas = 0;
    std::string primeira;
    for (int y = y0; lida && y <= y1; y++)
      for (int x = x0; x <= x1; x++) {
        const bool fora = x < 0 || y < 0 || x >= im.largura || y >= im.altura;
        const uint32_t p = fora ? 0 : im.em(x, y);
        bool perto = !fora;
        for (int c = 0; c < 32; c += 8)
          perto = perto && abs(int((p >> c) & 255) - int((cor >> c) & 255)) <= tol;
        if (!perto && erradas++ == 0)
          primeira = glib(g_strdup_printf("(%d, %d) é #%08X", x, y, p));
      }
    if (!lida || erradas)
      falha(passo,
            nome + ": " + linha + ": " +
                (lida ? std::to_string(erradas) + " pixels diferem; " + primeira : "ilegível"));
  }
}

// The picture at the export path against NOME.png and NOME.pontos.
void confere_imagem(const std::string &passo, const Rodada &r, const std::string &esperado,
                    const std::string &saida) {
  const std::string exportada = r.caminho, png = esperado + ".png";
  Imagem obtida, referencia;
  const bool ha = le_png(exportada, &obtida), pontos = existe(esperado + ".pontos");
  if (regrava && ha && (existe(png) || !pontos))
    escreve_arquivo(png, le_arquivo(exportada));
  else if (regrava && !ha)
    remove(png.c_str());
  else if (!regrava && le_png(png, &referencia)) {
    const long n = ha ? compara(referencia, obtida, saida + ".diferenca.png") : -2;
    if (n > 0)
      escreve_arquivo(saida + ".obtida.png", le_arquivo(exportada));
    if (n)
      falha(passo, n == -2   ? "não há imagem em " + exportada
                   : n == -1 ? "a imagem tem outro tamanho"
                             : std::to_string(n) + " pixels diferem; veja " + saida + ".*.png");
  } else if (!regrava && ha && !pontos) {
    falha(passo, "a imagem não tem referência (OLPA_REGRAVA=1 faz uma)");
  }
  if (pontos)
    confere_pontos(passo, esperado + ".pontos", exportada);
}
