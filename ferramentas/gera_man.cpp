// SPDX-License-Identifier: GPL-3.0-or-later
// gera-man: a program's manual page in Portuguese, made from its own
// "--ajuda" text, so that the two never differ. The help reads: "uso:" lines
// (the synopsis), paragraphs (the description), then sections, each a line
// "Título:" followed by "  --opção ARG   what it does" lines and indented
// paragraphs.
// Usage: gera-man PROGRAMA RESUMO DATA FONTE SAIDA.1
//   RESUMO is the one line of the NOME section; FONTE names the package and
//   its version ("olpa 0.51"); DATA is the version's date (AAAA-MM-DD).
#include <glib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Text as troff prints it: backslashes and hyphens escaped (a hyphen in a
// command or an option must stay one when copied), no line read as a request.
std::string troff(const std::string &texto) {
  std::string r;
  for (char c : texto) {
    if (c == '\\')
      r += "\\e";
    else if (c == '-')
      r += "\\-";
    else
      r += c;
  }
  if (!r.empty() && (r[0] == '.' || r[0] == '\''))
    r = "\\&" + r;
  return r;
}

// "--tempo-limite SEGUNDOS, -x N": names in bold, what they take in italics.
std::string marca_opcao(const std::string &tag) {
  std::string r;
  gchar **palavras = g_strsplit(tag.c_str(), " ", -1);
  for (gchar **p = palavras; *p; p++) {
    std::string palavra = *p, fim;
    if (!palavra.empty() && palavra.back() == ',')
      palavra.pop_back(), fim = ",";
    if (palavra.empty())
      continue;
    if (!r.empty())
      r += " ";
    const size_t igual = palavra.find('=');
    if (palavra[0] == '-' && igual != std::string::npos)
      r += "\\fB" + troff(palavra.substr(0, igual + 1)) + "\\fI" +
           troff(palavra.substr(igual + 1)) + "\\fR";
    else
      r += (palavra[0] == '-' ? "\\fB" : "\\fI") + troff(palavra) + "\\fR";
    r += fim;
  }
  g_strfreev(palavras);
  return r;
}

bool comeca(const std::string &s, const char *prefixo) {
  return s.rfind(prefixo, 0) == 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 6) {
    fprintf(stderr, "uso: gera-man PROGRAMA RESUMO DATA FONTE SAIDA.1\n");
    return 2;
  }
  const char *comando[] = {argv[1], "--ajuda", nullptr};
  gchar *ajuda = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, const_cast<gchar **>(comando), nullptr, G_SPAWN_DEFAULT, nullptr,
                    nullptr, &ajuda, nullptr, &status, nullptr) ||
      !g_spawn_check_wait_status(status, nullptr)) {
    fprintf(stderr, "gera-man: %s --ajuda falhou\n", argv[1]);
    return 1;
  }
  gchar **linhas = g_strsplit(ajuda, "\n", -1);
  g_free(ajuda);
  gchar *base = g_path_get_basename(argv[1]);
  const std::string nome = base;
  g_free(base);
  gchar *maiusculo = g_utf8_strup(nome.c_str(), -1);

  std::string man = ".\\\" Made by gera-man from \"" + nome + " --ajuda\"; do not edit.\n";
  man += ".TH " + troff(maiusculo) + " 1 \"" + argv[3] + "\" \"" + troff(argv[4]) +
         "\" \"Comandos do usuário\"\n";
  g_free(maiusculo);
  man += ".SH NOME\n" + troff(nome) + " \\- " + troff(argv[2]) + "\n.SH SINOPSE\n.nf\n";
  gchar **l = linhas;
  // The synopsis: each "uso:" line and the lines that go on from it.
  for (; *l && (comeca(*l, "uso: ") || comeca(*l, " ")); l++) {
    std::string linha = comeca(*l, "uso: ") ? *l + 5 : *l;
    const size_t texto = linha.find_first_not_of(' ');
    const bool continua = texto != std::string::npos && !comeca(linha.substr(texto), nome.c_str());
    linha = texto == std::string::npos ? "" : linha.substr(texto);
    if (comeca(linha, nome.c_str()))
      man += "\\fB" + troff(nome) + "\\fR" + troff(linha.substr(nome.size())) + "\n";
    else if (continua)
      man += "    " + troff(linha) + "\n";
  }
  man += ".fi\n.SH DESCRIÇÃO\n";
  bool paragrafo = false; // text or an option went before: the next text starts a paragraph
  for (; *l; l++) {
    const std::string linha = *l;
    if (linha.empty())
      continue;
    if (linha[0] != ' ' && linha.back() == ':') {
      gchar *titulo = g_utf8_strup(linha.substr(0, linha.size() - 1).c_str(), -1);
      man += ".SH " + troff(titulo) + "\n";
      g_free(titulo);
      paragrafo = false;
      continue;
    }
    const size_t texto = linha.find_first_not_of(' ');
    const std::string resto = linha.substr(texto);
    const size_t vao = resto.find("  ");
    if (texto > 0 && resto[0] == '-') { // an option and what it does
      const std::string tag = resto.substr(0, vao);
      const std::string descricao =
          vao == std::string::npos ? "" : resto.substr(resto.find_first_not_of(' ', vao));
      man += ".TP\n" + marca_opcao(tag) + "\n" + troff(descricao) + "\n";
      paragrafo = true;
      continue;
    }
    if (paragrafo)
      man += ".PP\n";
    man += troff(resto) + "\n";
    paragrafo = true;
  }
  g_strfreev(linhas);

  GError *erro = nullptr;
  if (!g_file_set_contents(argv[5], man.c_str(), static_cast<gssize>(man.size()), &erro)) {
    fprintf(stderr, "gera-man: %s\n", erro->message);
    return 1;
  }
  return 0;
}
