// SPDX-License-Identifier: GPL-3.0-or-later
// The account of a window's data case (casos/README.md): what the window
// shows at each checkpoint, written as text, and the pictures it showed
// compared by their pixels.
#include "caso.h"

#include "analise.h"
#include "olpa_marcas.h"
#include "olpa_vista.h"

#include <glib/gstdio.h>
#include <sys/stat.h>

#include <sstream>

namespace {

const bool regrava = getenv("OLPA_REGRAVA") != nullptr;

// `texto` as a build without the analyser compares it: without the
// warnings (the compiler's own are the analyser's when it is there), their
// marks, and the console's word that there is no analysis.
std::string sem_avisos(const std::string &texto) {
  if (analise_ligada(nullptr))
    return texto;
  std::istringstream linhas(texto);
  std::string resto;
  for (std::string l; std::getline(linhas, l);)
    if (!g_str_has_prefix(l.c_str(), "[aviso] ") && !g_str_has_prefix(l.c_str(), "| [aviso] ") &&
        !g_str_has_prefix(l.c_str(), "= marcas de aviso:") &&
        !g_str_has_prefix(l.c_str(), "[olpa] a análise do programa") &&
        !g_str_has_prefix(l.c_str(), "| [olpa] a análise do programa"))
      resto += l + "\n";
  return resto;
}

std::string escapado(char c) {
  switch (c) {
  case '\\':
    return "\\\\";
  case '\t':
    return "\\t";
  case '\r':
    return "\\r";
  default:
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f
               ? glib(g_strdup_printf("\\x%02x", static_cast<unsigned char>(c)))
               : std::string(1, c);
  }
}

// The picture the view shows, as the account names it: "inicial" for the
// start picture, "nenhuma", or NOME.N.png for the N-th other one.
std::string figura(Caso &caso, const Imagem &vista) {
  Imagem inicial;
  if (le_png(INICIAL, &inicial) && compara(inicial, vista) == 0)
    return "inicial";
  for (const auto &[nome, outra] : caso.outras)
    if (compara(outra, vista) == 0)
      return nome;
  size_t n = 0;
  while (n < caso.figuras.size() && compara(caso.figuras[n], vista) != 0)
    n++;
  if (n == caso.figuras.size())
    caso.figuras.push_back(vista);
  return caso.nome + "." + std::to_string(n + 1) + ".png";
}

Imagem imagem_da_vista(bool *ha) {
  const OlpaObjeto<GdkPixbuf> p(olpa_vista_pixbuf());
  *ha = p != nullptr;
  return p ? de_pixbuf(p.get()) : Imagem{};
}

std::string lista(const std::vector<int> &linhas) {
  std::string s;
  for (int l : linhas)
    s += " " + std::to_string(l);
  return linhas.empty() ? " nenhuma" : s;
}

std::string tipo_de(const std::string &caminho) {
  GStatBuf info;
  if (g_lstat(caminho.c_str(), &info) != 0)
    return "não existe";
  if (S_ISLNK(info.st_mode))
    return "link para " + glib(g_file_read_link(caminho.c_str(), nullptr));
  if (S_ISFIFO(info.st_mode))
    return "pipe";
  if (S_ISDIR(info.st_mode))
    return "pasta";
  if (!S_ISREG(info.st_mode))
    return "especial";
  Imagem im;
  if (le_png(caminho, &im))
    return "PNG " + std::to_string(im.largura) + "x" + std::to_string(im.altura);
  return std::to_string(info.st_size) + " bytes";
}

std::string telas() {
  std::string s;
  GDir *pasta = g_dir_open((raiz + "/telas").c_str(), 0, nullptr);
  std::vector<std::string> nomes;
  while (const char *nome = pasta ? g_dir_read_name(pasta) : nullptr)
    nomes.emplace_back(nome);
  if (pasta)
    g_dir_close(pasta);
  std::sort(nomes.begin(), nomes.end());
  for (const std::string &nome : nomes)
    s += (s.empty() ? " " : ", ") + nome + " (" + tipo_de(raiz + "/telas/" + nome) + ")";
  return s.empty() ? " nada" : s;
}

} // namespace

void Caso::falha(const std::string &texto) {
  fprintf(stderr, "FALHA %s: %s\n", nome.c_str(), texto.c_str());
  falhas++;
}

std::string citado(const std::string &texto) {
  std::string s = "| ";
  for (size_t i = 0; i < texto.size(); i++)
    s += texto[i] == '\n' ? (i + 1 < texto.size() ? "\n| " : "\n") : escapado(texto[i]);
  if (texto.empty() || texto.back() != '\n')
    s += "\n(sem quebra de linha no fim)\n";
  return s;
}

std::string na_arvore(const std::string &caminho) {
  return caminho.rfind(raiz + "/", 0) == 0 ? caminho.substr(raiz.size() + 1) : caminho;
}

std::string descreve_dialogo(GtkWidget *d) {
  const std::string titulo = gtk_window_get_title(GTK_WINDOW(d));
  if (GTK_IS_FILE_CHOOSER(d)) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    std::string r = titulo + ": pasta " + na_arvore(glib(gtk_file_chooser_get_current_folder(s)));
    if (gtk_file_chooser_get_action(s) == GTK_FILE_CHOOSER_ACTION_SAVE)
      r += ", nome " + glib(gtk_file_chooser_get_current_name(s));
    return r;
  }
  OlpaTexto texto, secundario;
  g_object_get(d, "text", &texto, "secondary-text", &secundario, nullptr);
  return titulo + ": " + (texto ? texto.get() : "") +
         (secundario ? std::string(" / ") + secundario.get() : "");
}

bool confere(Caso &caso, const Linha &l) {
  const std::string &verbo = l.palavras[0];
  std::string &r = caso.relato;
  if (verbo == "console" && l.palavras.size() == 1) {
    r += std::string("= console (") + (olpa_console_em_erro() ? "erro" : "normal") + "):\n" +
         citado(console());
  } else if (verbo == "console") { // the console (and its look) a case of the runner expects
    const std::string esperado = le_arquivo(caso.arquivo(l.palavras[1]));
    const std::string texto = console();
    const bool erro = esperado.find(", console de erro\n") != std::string::npos;
    if (!esperado.empty() &&
        sem_avisos(texto) == sem_avisos(esperado.substr(0, esperado.find("#= "))) &&
        erro == olpa_console_em_erro())
      r += "= console igual a " + l.palavras[1] + "\n";
    else
      r += "= console diferente de " + l.palavras[1] + ":\n" + citado(texto);
  } else if (verbo == "figura") {
    bool ha;
    const Imagem vista = imagem_da_vista(&ha);
    Imagem referencia;
    if (!ha)
      r += "= figura: nenhuma\n";
    else if (l.palavras.size() == 1)
      r += "= figura: " + figura(caso, vista) + "\n";
    else if (le_png(caso.arquivo(l.palavras[1]), &referencia) && compara(referencia, vista) == 0)
      r += "= figura igual a " + l.palavras[1] + "\n",
          caso.outras.emplace_back(l.palavras[1], referencia);
    else
      r += "= figura diferente de " + l.palavras[1] + ": " + figura(caso, vista) + "\n";
  } else if (verbo == "marcas") {
    r += "= marcas de erro:" + lista(olpa_linhas_com_marca(OLPA_MARCA_ERRO)) +
         "\n= marcas de aviso:" + lista(olpa_linhas_com_marca(OLPA_MARCA_AVISO)) + "\n";
  } else if (verbo == "editor" && l.palavras.size() == 2) {
    r += editor() == le_arquivo(caso.arquivo(l.palavras[1]))
             ? "= editor igual a " + l.palavras[1] + "\n"
             : "= editor diferente de " + l.palavras[1] + ":\n" + citado(editor());
  } else if (verbo == "editor") {
    const bool alterado = gtk_text_buffer_get_modified(ui->olpa_campo_codigo_buffer);
    r += std::string("= editor (") + (alterado ? "com" : "sem") + " alterações):\n" +
         citado(editor());
  } else if (verbo == "cursor") {
    r += "= cursor na linha " + std::to_string(linha_do_cursor()) + "\n";
  } else if (verbo == "pixel" && l.palavras.size() == 3) {
    bool ha;
    const Imagem vista = imagem_da_vista(&ha);
    const int x = atoi(l.palavras[1].c_str()), y = atoi(l.palavras[2].c_str());
    const bool dentro = ha && x >= 0 && y >= 0 && x < vista.largura && y < vista.altura;
    r += "= pixel " + l.palavras[1] + " " + l.palavras[2] + ": " +
         (dentro ? glib(g_strdup_printf("#%08X", vista.em(x, y))) : "fora da figura") + "\n";
  } else if (verbo == "tela" && l.palavras.size() == 3) { // the picture as the screen shows it
    quadro();
    int x, y;
    gtk_widget_translate_coordinates(ui->olpa_imagem, ui->olpa_janela, atoi(l.palavras[1].c_str()),
                                     atoi(l.palavras[2].c_str()), &x, &y);
    OlpaObjeto<GdkPixbuf> p(
        gdk_pixbuf_get_from_window(gtk_widget_get_window(ui->olpa_janela), x, y, 1, 1));
    r += "= tela " + l.palavras[1] + " " + l.palavras[2] + ": " +
         glib(g_strdup_printf("#%08X", de_pixbuf(p.get()).em(0, 0))) + "\n";
  } else if (verbo == "arquivo" && l.palavras.size() == 2) {
    const std::string caminho = raiz + "/" + l.palavras[1], tipo = tipo_de(caminho);
    const bool comum = g_file_test(caminho.c_str(), G_FILE_TEST_IS_REGULAR) &&
                       !g_file_test(caminho.c_str(), G_FILE_TEST_IS_SYMLINK);
    const std::string bytes = comum ? le_arquivo(caminho) : "";
    r += "= arquivo " + l.palavras[1] +
         (!comum          ? " (" + tipo + ")\n"
          : bytes.empty() ? " (vazio)\n"
                          : ":\n" + citado(bytes));
  } else if (verbo == "telas") {
    r += "= telas:" + telas() + "\n";
  } else {
    return false;
  }
  return true;
}

void compara_relato(Caso &caso) {
  const std::string esperado = caso.arquivo(caso.nome + ".janela");
  const auto png = [&caso](size_t n) {
    return caso.arquivo(caso.nome + "." + std::to_string(n) + ".png");
  };
  if (regrava) {
    escreve_arquivo(esperado, caso.relato);
    for (size_t n = 1; n <= caso.figuras.size(); n++) {
      const Imagem &im = caso.figuras[n - 1];
      std::vector<unsigned char> rgba;
      for (uint32_t p : im.pixels)
        rgba.insert(rgba.end(),
                    {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                     static_cast<unsigned char>(p), static_cast<unsigned char>(p >> 24)});
      OlpaObjeto<GdkPixbuf> p(gdk_pixbuf_new_from_data(rgba.data(), GDK_COLORSPACE_RGB, TRUE, 8,
                                                       im.largura, im.altura, im.largura * 4,
                                                       nullptr, nullptr));
      gdk_pixbuf_save(p.get(), png(n).c_str(), "png", nullptr, nullptr);
    }
    for (size_t n = caso.figuras.size() + 1; existe(png(n)); n++)
      g_remove(png(n).c_str());
    return;
  }
  const std::string saida = OLPA_SAIDA_DIR "/" + caso.nome;
  if (!existe(esperado))
    caso.falha("falta " + esperado + " (OLPA_REGRAVA=1 faz um)");
  else if (sem_avisos(le_arquivo(esperado)) != sem_avisos(caso.relato))
    caso.falha("o relato difere de " + esperado + " na " +
               primeira_diferenca(le_arquivo(esperado), caso.relato) + "\n  (obtido em " + saida +
               ".janela)");
  for (size_t n = 1; n <= caso.figuras.size(); n++) {
    Imagem referencia;
    const long diferentes = le_png(png(n), &referencia)
                                ? compara(referencia, caso.figuras[n - 1],
                                          saida + "." + std::to_string(n) + ".diferenca.png")
                                : -2;
    if (diferentes != 0)
      caso.falha(png(n) + (diferentes == -2   ? " não existe"
                           : diferentes == -1 ? " tem outro tamanho"
                                              : ": " + std::to_string(diferentes) +
                                                    " pixels diferem (veja " + saida + ".*.png)"));
  }
  if (caso.falhas)
    escreve_arquivo(saida + ".janela", caso.relato);
}
