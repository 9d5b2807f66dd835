// SPDX-License-Identifier: GPL-3.0-or-later
// The window's data cases (casos/README.md): a case's actions read from
// NOME.acoes and done, one after the other, to the real window (its buttons
// found by their labels, its keys sent as the keyboard sends them, its
// dialogs answered as they come), with NOME.olp in the editor at first.
// What the window shows at each checkpoint makes the case's account,
// compared with NOME.janela (caso_relato.cpp).
#include "caso.h"

#include "olpa_execucao.h"
#include "olpa_vista.h"
#include "olpaparser.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <cairo.h>
#include <sstream>

namespace {

// "..." with C escapes (\n, \t, \r, \\, \", \xNN, \0 and octal) as bytes.
std::string descomprime(const std::string &s) {
  std::string r;
  for (size_t i = 0; i < s.size(); i++) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      r += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'x' || (c >= '0' && c <= '7')) {
      const bool hexa = c == 'x';
      size_t fim = hexa ? i + 1 : i;
      unsigned v = 0;
      while (fim < s.size() && fim < i + (hexa ? 3 : 3) && g_ascii_isxdigit(s[fim]) &&
             (hexa || (s[fim] >= '0' && s[fim] <= '7')))
        v = v * (hexa ? 16 : 8) + g_ascii_xdigit_value(s[fim++]);
      r += static_cast<char>(v);
      i = fim - 1;
      continue;
    }
    r += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return r;
}

bool le_linha(const std::string &texto, int numero, Linha *l, std::string *erro) {
  l->numero = numero;
  l->texto = texto.substr(0, texto.find_last_not_of(" \t") + 1);
  l->texto.erase(0, l->texto.find_first_not_of(" \t"));
  size_t i = 0;
  while (true) {
    while (i < texto.size() && g_ascii_isspace(texto[i]))
      i++;
    if (i == texto.size() || (l->palavras.empty() && texto[i] == '#'))
      return true;
    if (texto[i] != '"') {
      const size_t fim = texto.find_first_of(" \t", i);
      l->palavras.push_back(texto.substr(i, fim == std::string::npos ? fim : fim - i));
      l->entre_aspas.push_back(false);
      i = fim == std::string::npos ? texto.size() : fim;
      continue;
    }
    size_t fim = i + 1;
    while (fim < texto.size() && texto[fim] != '"')
      fim += texto[fim] == '\\' ? 2 : 1;
    if (fim >= texto.size())
      return *erro = "aspas sem fim", false;
    l->palavras.push_back(descomprime(texto.substr(i + 1, fim - i - 1)));
    l->entre_aspas.push_back(true);
    i = fim + 1;
  }
}

bool e_conferencia(const Linha &l) {
  for (const char *v :
       {"console", "figura", "marcas", "editor", "cursor", "pixel", "arquivo", "telas"})
    if (l.palavras[0] == v)
      return true;
  return false;
}

bool e_resposta(const Linha &l) {
  const std::string &v = l.palavras[0];
  return v == "responde" || v == "escolhe" || (v == "fecha" && l.palavras.size() == 1);
}

// The dialog's button labelled `rotulo` (its mnemonic's "_" not counted).
GtkWidget *botao_do_dialogo(GtkWidget *d, const std::string &rotulo) {
  GtkWidget *achado = nullptr;
  percorre(d, [&](GtkWidget *w) {
    const char *r = GTK_IS_BUTTON(w) ? gtk_button_get_label(GTK_BUTTON(w)) : nullptr;
    std::string sem;
    for (const char *c = r; c && *c; c++)
      if (*c != '_')
        sem += *c;
    if (r && sem == rotulo && gtk_widget_is_drawable(w))
      achado = w;
  });
  return achado;
}

// An answer of the actions file, as the dialog driver takes it: the dialog
// goes into the account, then the answer, then it is done.
Resposta resposta(Caso &caso, const Linha &l) {
  return [&caso, l](GtkWidget *d, int vez) {
    if (vez == 0)
      caso.relato += "? " + descreve_dialogo(d) + "\n> " + l.texto + "\n";
    const std::string &verbo = l.palavras[0];
    GtkFileChooser *seletor = GTK_IS_FILE_CHOOSER(d) ? GTK_FILE_CHOOSER(d) : nullptr;
    if (verbo == "fecha") {
      gtk_window_close(GTK_WINDOW(d));
    } else if (verbo == "responde" && l.palavras.size() == 2) {
      GtkWidget *b = botao_do_dialogo(d, l.palavras[1]);
      if (!b)
        caso.relato += "! não há o botão " + l.palavras[1] + "\n";
      b ? gtk_button_clicked(GTK_BUTTON(b)) : gtk_window_close(GTK_WINDOW(d));
    } else if (!seletor || l.palavras.size() > 2) {
      caso.relato += "! não é como se escolhe aqui\n";
      gtk_window_close(GTK_WINDOW(d));
    } else if (gtk_file_chooser_get_action(seletor) == GTK_FILE_CHOOSER_ACTION_OPEN) {
      // Picked again now and then: the folder loads in the background, and
      // a pick made before may be lost.
      const std::string caminho = raiz + "/" + (l.palavras.size() == 2 ? l.palavras[1] : "");
      OlpaTexto escolhido(gtk_file_chooser_get_filename(seletor));
      if (!escolhido || caminho != escolhido.get()) {
        if (vez % 10 == 0)
          gtk_file_chooser_set_filename(seletor, caminho.c_str());
        return false;
      }
      gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
    } else if (l.palavras.size() == 2 && !salva_em(d, raiz + "/" + l.palavras[1], vez)) {
      return false;
    } else {
      gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
    }
    return true;
  };
}

// A key as written in a case: "F5", "Esc", "Ctrl+R", "Ctrl+Shift+plus".
bool tecla_de(const std::string &nome, guint *tecla, GdkModifierType *mods) {
  int m = 0;
  std::string resto = nome;
  for (auto [prefixo, mod] :
       {std::pair{"Ctrl+", GDK_CONTROL_MASK}, {"Shift+", GDK_SHIFT_MASK}, {"Alt+", GDK_MOD1_MASK}})
    if (resto.rfind(prefixo, 0) == 0)
      resto = resto.substr(strlen(prefixo)), m |= mod;
  if (resto == "Esc")
    resto = "Escape";
  *tecla = gdk_keyval_to_lower(gdk_keyval_from_name(resto.c_str()));
  *mods = static_cast<GdkModifierType>(m);
  return *tecla != GDK_KEY_VoidSymbol && *tecla != 0;
}

// The button of the button bar labelled `rotulo`.
GtkWidget *botao_da_barra(const std::string &rotulo) {
  GtkWidget *achado = nullptr;
  percorre(ui->olpa_botoes, [&](GtkWidget *w) {
    if (GTK_IS_BUTTON(w) && gtk_button_get_label(GTK_BUTTON(w)) == rotulo)
      achado = w;
  });
  return achado;
}

uint32_t pixel_da_vista(int x, int y) {
  const OlpaObjeto<GdkPixbuf> p(olpa_vista_pixbuf());
  if (!p || x >= gdk_pixbuf_get_width(p.get()) || y >= gdk_pixbuf_get_height(p.get()))
    return 0;
  return de_pixbuf(p.get()).em(x, y);
}

// What blocks on dialogs: a click, a key, closing the window.
bool acao(Caso &caso, const Linha &l) {
  const std::vector<std::string> &p = l.palavras;
  if (p[0] == "clica" && p.size() == 3 && p[1] == "console") {
    clica_no_console(atoi(p[2].c_str()));
  } else if (p[0] == "clica" && p.size() == 2) {
    GtkWidget *b = botao_da_barra(p[1]);
    if (!b)
      return caso.relato += "! não há o botão " + p[1] + "\n", true;
    gtk_button_clicked(GTK_BUTTON(b));
  } else if (p[0] == "tecla" && p.size() == 2) {
    guint t;
    GdkModifierType mods;
    if (!tecla_de(p[1], &t, &mods))
      return false;
    tecla(t, mods);
  } else if (p[0] == "fecha" && p.size() == 2 && p[1] == "janela") {
    // Closing ends the main loop, or (asked, and told no) leaves it running:
    // then the loop goes on to what was queued once the closing was done.
    static bool continua;
    static guint depois;
    continua = false;
    g_idle_add(
        [](gpointer) {
          GdkEvent *e = gdk_event_new(GDK_DELETE); // the window manager's close
          e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(ui->olpa_janela)));
          gtk_main_do_event(e);
          gdk_event_free(e);
          depois = g_idle_add(
              [](gpointer) { return continua = true, gtk_main_quit(), G_SOURCE_REMOVE; }, nullptr);
          return G_SOURCE_REMOVE;
        },
        nullptr);
    gtk_main();
    if (!continua)
      g_source_remove(depois);
    caso.relato += continua ? "= a janela continua aberta\n" : "= a janela fechou\n";
  } else {
    return false;
  }
  pendentes();
  return true;
}

// What changes the editor, the run tree or the runs' settings.
bool muda(Caso &caso, const Linha &l) {
  const std::vector<std::string> &p = l.palavras;
  GtkTextBuffer *b = ui->olpa_campo_codigo_buffer;
  const std::string alvo = p.size() > 1 ? raiz + "/" + p[1] : "";
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(b, &inicio, &fim);
  if (p[0] == "poe" && p.size() == 2)
    poe(l.entre_aspas[1] ? p[1] : le_arquivo(caso.arquivo(p[1])));
  else if (p[0] == "acrescenta" && p.size() == 2)
    gtk_text_buffer_insert(b, &fim, p[1].c_str(), -1);
  else if (p[0] == "cola" && p.size() == 2) {
    GtkClipboard *area = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(area, p[1].c_str(), -1);
    gtk_text_buffer_select_range(b, &inicio, &fim);
    gtk_text_buffer_paste_clipboard(b, area, nullptr, TRUE);
    ate([&] { return editor() == p[1]; });
  } else if (p[0] == "digita" && p.size() == 2) { // at the end of the text
    gtk_text_buffer_place_cursor(b, &fim);
    gtk_widget_grab_focus(ui->olpa_campo_codigo_formatado);
    for (const char c : p[1])
      tecla(c == '\n' ? GDK_KEY_Return : gdk_unicode_to_keyval(static_cast<guchar>(c)));
  } else if (p[0] == "desfaz" && p.size() == 1)
    gtk_source_buffer_undo(GTK_SOURCE_BUFFER(b));
  else if (p[0] == "escreve" && p.size() == 3)
    escreve_arquivo(alvo, p[2]);
  else if (p[0] == "copia" && p.size() == 3)
    escreve_arquivo(raiz + "/" + p[2], le_arquivo(alvo));
  else if (p[0] == "remove" && p.size() == 2)
    g_remove(alvo.c_str());
  else if (p[0] == "fifo" && p.size() == 2)
    mkfifo(alvo.c_str(), 0644);
  else if (p[0] == "pasta" && p.size() == 2)
    g_mkdir_with_parents(alvo.c_str(), 0755);
  else if (p[0] == "link" && p.size() == 3) {
    if (symlink(p[2].c_str(), alvo.c_str()) != 0)
      caso.falha("link " + p[1] + ": " + g_strerror(errno));
  } else if (p[0] == "png" && p.size() == 4) { // a black picture of that size
    cairo_surface_t *s =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, atoi(p[2].c_str()), atoi(p[3].c_str()));
    cairo_surface_write_to_png(s, alvo.c_str());
    cairo_surface_destroy(s);
  } else if (p[0] == "tempo-limite" && p.size() == 2)
    parser_define_tempo_limite(g_ascii_strtod(p[1].c_str(), nullptr));
  else
    return false;
  pendentes();
  return true;
}

// What waits for something the window will show: the run's end, its
// running look, a text in the console, a pixel of the picture.
bool espera(const Linha &l) {
  const std::vector<std::string> &p = l.palavras;
  if (p[0] != "espera" || p.size() < 2)
    return false;
  if (p[1] == "fim" && p.size() == 2) {
    ate([] { return !olpa_rodando(); });
  } else if (p[1] == "rodando" && p.size() == 2) {
    ate([] {
      return olpa_rodando() && botao_da_barra("Parar") &&
             g_str_has_suffix(console().c_str(), "[olpa] rodando…");
    });
  } else if (p[1] == "texto" && p.size() == 3) {
    ate([&] { return console().find(p[2]) != std::string::npos; });
  } else if (p[1] == "pixel" && p.size() == 5) {
    const int x = atoi(p[2].c_str()), y = atoi(p[3].c_str());
    const uint32_t cor = static_cast<uint32_t>(strtoul(p[4].c_str() + 1, nullptr, 16));
    ate([&] { return pixel_da_vista(x, y) == cor; });
  } else {
    return false;
  }
  pendentes();
  return true;
}

} // namespace

int roda_caso_da_janela(const std::string &caminho) {
  Caso caso;
  caso.pasta = glib(g_path_get_dirname(caminho.c_str()));
  caso.nome = glib(g_path_get_basename(caminho.c_str()));
  g_mkdir_with_parents(OLPA_SAIDA_DIR, 0755);
  std::vector<Linha> linhas;
  std::istringstream texto(le_arquivo(caminho + ".acoes"));
  std::string erro;
  int numero = 0;
  for (std::string t; std::getline(texto, t);) {
    Linha l;
    if (!le_linha(t, ++numero, &l, &erro))
      caso.falha("linha " + std::to_string(numero) + ": " + erro);
    else if (!l.palavras.empty())
      linhas.push_back(l);
  }
  if (linhas.empty())
    caso.falha("nenhuma ação em " + caminho + ".acoes");
  // The folder's shared pictures (not numbered: NOME.png) name what they show.
  GDir *pasta = g_dir_open(caso.pasta.c_str(), 0, nullptr);
  while (const char *arquivo = pasta ? g_dir_read_name(pasta) : nullptr) {
    Imagem im;
    const char *ponto = strchr(arquivo, '.');
    if (ponto && strcmp(ponto, ".png") == 0 && le_png(caso.arquivo(arquivo), &im))
      caso.outras.emplace_back(arquivo, im);
  }
  if (pasta)
    g_dir_close(pasta);
  if (existe(caminho + ".olp")) {
    poe(le_arquivo(caminho + ".olp"));
    gtk_text_buffer_set_modified(ui->olpa_campo_codigo_buffer, FALSE);
  }
  bool esperou = false; // the last step waited for what a run shows
  for (size_t i = 0; i < linhas.size(); i++) {
    const Linha &l = linhas[i];
    if (e_resposta(l)) {
      caso.falha("linha " + std::to_string(l.numero) + ": resposta sem ação antes");
      continue;
    }
    if (olpa_rodando() && !esperou && e_conferencia(l))
      caso.falha("linha " + std::to_string(l.numero) +
                 ": o que a janela mostra durante uma execução só depois de um espera");
    std::vector<Resposta> respostas;
    size_t j = i + 1;
    for (; j < linhas.size() && e_resposta(linhas[j]); j++)
      respostas.push_back(resposta(caso, linhas[j]));
    caso.relato += "> " + l.texto + "\n";
    bool feito = false;
    const size_t sobra = com_respostas(
        respostas, [&] { feito = espera(l) || muda(caso, l) || acao(caso, l) || confere(caso, l); },
        [&caso](GtkWidget *d) {
          caso.relato += "? " + descreve_dialogo(d) + "\n! sem resposta\n";
        });
    for (size_t k = j - sobra; k < j; k++)
      caso.relato += "! nenhum diálogo para: " + linhas[k].texto + "\n";
    if (!feito)
      caso.falha("linha " + std::to_string(l.numero) + ": não entendi: " + l.texto);
    esperou = l.palavras[0] == "espera";
    i = j - 1;
  }
  if (olpa_rodando()) { // what it would show then is anybody's guess
    caso.relato += "! ainda rodando no fim\n";
    olpa_para_execucao();
  }
  caso.relato += "> fim\n";
  confere(caso, Linha{0, "", {"console"}, {false}});
  confere(caso, Linha{0, "", {"figura"}, {false}});
  compara_relato(caso);
  printf("%s: %s\n", caso.nome.c_str(),
         caso.falhas              ? "FALHOU"
         : getenv("OLPA_REGRAVA") ? "regravado"
                                  : "ok");
  return caso.falhas ? 1 : 0;
}
