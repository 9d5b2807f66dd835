// SPDX-License-Identifier: GPL-3.0-or-later
// The help window "Ajuda do olpa" (F1), read from what ships beside the
// program, so it works without a network: every learner function of the
// table with its example and the picture the build drew from it
// (olpalib/ajuda/funcoes/), the common errors (olpalib/ajuda/erros_comuns.ini,
// and the analyser's explanations that have a cause, olpalib/ajuda/avisos.ini)
// and the gallery of the examples (olpalib/ajuda/exemplos/), each of which
// opens into the editor.
#include "olpa.h"
#include "olpa_funcoes.h"
#include "olpa_layout.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

const char PASTA_AJUDA[] = "olpalib/ajuda";
const char PASTA_EXEMPLOS[] = "../exemplos";
// The functions' pictures at half the canvas; the gallery's at a third, three
// to a row.
constexpr int GALERIA_COLUNAS = 3;
constexpr int MINIATURA_LARGURA = OLPA_TELA_LARGURA / 3, MINIATURA_ALTURA = OLPA_TELA_ALTURA / 3;

GtkWidget *janela = nullptr;

std::string caminho_da_ajuda(const std::string &resto) {
  return std::string(PASTA_AJUDA) + "/" + resto;
}

GtkWidget *rotulo(const char *texto, const char *classe = nullptr) {
  GtkWidget *r = gtk_label_new(texto);
  gtk_label_set_xalign(GTK_LABEL(r), 0);
  gtk_label_set_line_wrap(GTK_LABEL(r), TRUE);
  gtk_label_set_selectable(GTK_LABEL(r), TRUE);
  if (classe)
    gtk_style_context_add_class(gtk_widget_get_style_context(r), classe);
  return r;
}

// The picture at `caminho` shrunk to `largura` x `altura`; an empty space
// that size when it is missing.
GtkWidget *miniatura(const std::string &caminho, int largura = MINIATURA_LARGURA,
                     int altura = MINIATURA_ALTURA) {
  GdkPixbuf *figura =
      gdk_pixbuf_new_from_file_at_scale(caminho.c_str(), largura, altura, TRUE, nullptr);
  GtkWidget *imagem = figura ? gtk_image_new_from_pixbuf(figura) : gtk_image_new();
  if (figura)
    g_object_unref(figura);
  gtk_widget_set_size_request(imagem, largura, altura);
  gtk_widget_set_valign(imagem, GTK_ALIGN_START);
  return imagem;
}

GtkWidget *pagina(GtkWidget *notebook, const char *titulo) {
  GtkWidget *lista = gtk_box_new(GTK_ORIENTATION_VERTICAL, 18);
  g_object_set(lista, "margin", 16, nullptr);
  GtkWidget *rolagem = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(rolagem), GTK_POLICY_NEVER,
                                 GTK_POLICY_AUTOMATIC);
  gtk_container_add(GTK_CONTAINER(rolagem), lista);
  gtk_notebook_append_page(GTK_NOTEBOOK(notebook), rolagem, gtk_label_new(titulo));
  return lista;
}

GtkWidget *coluna(GtkWidget *linha) {
  GtkWidget *c = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  gtk_widget_set_hexpand(c, TRUE);
  gtk_box_pack_start(GTK_BOX(linha), c, TRUE, TRUE, 0);
  return c;
}

void pagina_funcoes(GtkWidget *notebook) {
  GtkWidget *lista = pagina(notebook, "Funções");
  gtk_box_pack_start(GTK_BOX(lista),
                     rotulo("As funções que um programa do olpa pode chamar, cada uma com um "
                            "exemplo pequeno e a figura que ele desenha. Os números são "
                            "inteiros; a tela tem 640 × 480 pontos, com (0, 0) no canto de "
                            "cima, à esquerda."),
                     FALSE, FALSE, 0);
  for (const OlpaFuncao &f : OLPA_FUNCOES) {
    GtkWidget *linha = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
    GtkWidget *textos = coluna(linha);
    gtk_box_pack_start(GTK_BOX(textos), rotulo(f.prototipo, "olpa-assinatura"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(textos), rotulo(f.descricao), FALSE, FALSE, 0);
    if (f.exemplo) {
      gtk_box_pack_start(GTK_BOX(textos), rotulo(f.exemplo, "olpa-exemplo"), FALSE, FALSE, 0);
      gtk_box_pack_end(GTK_BOX(linha),
                       miniatura(caminho_da_ajuda(std::string("funcoes/") + f.nome + ".png"),
                                 OLPA_PREVIA_LARGURA, OLPA_PREVIA_ALTURA),
                       FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(lista), linha, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(lista), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE,
                       0);
  }
}

// The groups of `arquivo` that have a cause: what the console shows, why,
// and what to do. False when it cannot be read.
bool erros_de(GtkWidget *lista, const char *arquivo) {
  GKeyFile *erros = g_key_file_new();
  if (!g_key_file_load_from_file(erros, caminho_da_ajuda(arquivo).c_str(), G_KEY_FILE_NONE,
                                 nullptr)) {
    g_key_file_free(erros);
    return false;
  }
  gchar **grupos = g_key_file_get_groups(erros, nullptr);
  for (gchar **g = grupos; *g; g++) {
    if (!g_key_file_has_key(erros, *g, "causa", nullptr))
      continue;
    GtkWidget *textos = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_box_pack_start(GTK_BOX(textos), rotulo(*g, "olpa-titulo"), FALSE, FALSE, 0);
    for (auto [chave, antes] :
         {std::pair{"mensagem", ""}, {"causa", "Por quê: "}, {"o_que_fazer", "O que fazer: "}}) {
      OlpaTexto texto(g_key_file_get_string(erros, *g, chave, nullptr));
      if (texto)
        gtk_box_pack_start(GTK_BOX(textos),
                           rotulo((std::string(antes) + texto.get()).c_str(),
                                  chave[0] == 'm' ? "olpa-exemplo" : nullptr),
                           FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(lista), textos, FALSE, FALSE, 0);
  }
  g_strfreev(grupos);
  g_key_file_free(erros);
  return true;
}

void pagina_erros(GtkWidget *notebook) {
  GtkWidget *lista = pagina(notebook, "Erros comuns");
  if (!erros_de(lista, "erros_comuns.ini"))
    gtk_box_pack_start(GTK_BOX(lista), rotulo("A lista de erros comuns não foi encontrada."), FALSE,
                       FALSE, 0);
  erros_de(lista, "avisos.ini");
}

// The first line of an example, a comment, is its title.
std::string titulo_do_exemplo(const std::string &caminho, const std::string &nome) {
  gchar *texto = nullptr;
  if (!g_file_get_contents(caminho.c_str(), &texto, nullptr, nullptr))
    return nome;
  OlpaTexto dono(texto);
  std::string linha(texto, strcspn(texto, "\n"));
  if (linha.rfind("//", 0) != 0 || !g_utf8_validate(linha.c_str(), -1, nullptr))
    return nome;
  return g_strstrip(&linha[2]);
}

void abre_exemplo(GtkButton *, gpointer arquivo) {
  if (!olpa_pode_substituir_codigo(GTK_WINDOW(janela)))
    return;
  OlpaTexto caminho(g_canonicalize_filename(static_cast<const char *>(arquivo), nullptr));
  olpa_nome_arquivo = caminho.get();
  printf("olp: %s\n", olpa_nome_arquivo.c_str());
  if (olpa_carrega_codigo())
    gtk_window_present(GTK_WINDOW(olpa_janela));
}

// The shipped examples, by the pictures the build drew of them.
std::vector<std::string> exemplos() {
  std::vector<std::string> nomes;
  GDir *pasta = g_dir_open(OLPA_FIGURAS_DOS_EXEMPLOS, 0, nullptr);
  while (const char *nome = pasta ? g_dir_read_name(pasta) : nullptr)
    if (g_str_has_suffix(nome, ".png"))
      nomes.emplace_back(nome, strlen(nome) - 4);
  if (pasta)
    g_dir_close(pasta);
  std::sort(nomes.begin(), nomes.end());
  return nomes;
}

void pagina_exemplos(GtkWidget *notebook) {
  GtkWidget *lista = pagina(notebook, "Exemplos");
  gtk_box_pack_start(GTK_BOX(lista),
                     rotulo("Os exemplos do olpa, do mais simples ao mais elaborado. \"Abrir "
                            "este exemplo\" põe o programa no editor; aperte Rodar para ver."),
                     FALSE, FALSE, 0);
  GtkWidget *galeria = gtk_grid_new();
  gtk_grid_set_column_spacing(GTK_GRID(galeria), 24);
  gtk_grid_set_row_spacing(GTK_GRID(galeria), 24);
  int n = 0;
  for (const std::string &nome : exemplos()) {
    const std::string arquivo = std::string(PASTA_EXEMPLOS) + "/" + nome + ".olp";
    GtkWidget *cartao = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_box_pack_start(GTK_BOX(cartao),
                       miniatura(std::string(OLPA_FIGURAS_DOS_EXEMPLOS) + "/" + nome + ".png"),
                       FALSE, FALSE, 0);
    const std::string titulo = nome + ": " + titulo_do_exemplo(arquivo, nome);
    GtkWidget *legenda = rotulo(titulo.c_str());
    gtk_label_set_max_width_chars(GTK_LABEL(legenda), 1); // as wide as the picture
    gtk_box_pack_start(GTK_BOX(cartao), legenda, FALSE, FALSE, 0);
    GtkWidget *abrir = gtk_button_new_with_label("Abrir este exemplo");
    gtk_widget_set_halign(abrir, GTK_ALIGN_START);
    g_signal_connect_data(
        abrir, "clicked", G_CALLBACK(abre_exemplo), g_strdup(arquivo.c_str()),
        [](gpointer p, GClosure *) { g_free(p); }, GConnectFlags(0));
    gtk_box_pack_start(GTK_BOX(cartao), abrir, FALSE, FALSE, 0);
    gtk_grid_attach(GTK_GRID(galeria), cartao, n % GALERIA_COLUNAS, n / GALERIA_COLUNAS, 1, 1);
    n++;
  }
  gtk_box_pack_start(GTK_BOX(lista), galeria, FALSE, FALSE, 0);
}

const char ESTILO[] = ".olpa-assinatura { font-family: monospace; font-weight: bold; }"
                      ".olpa-exemplo { font-family: monospace; background-color: #f0f0ee;"
                      "  padding: 6px; }"
                      ".olpa-titulo { font-weight: bold; }";

void cria() {
  janela = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(janela), "Ajuda do olpa");
  gtk_window_set_transient_for(GTK_WINDOW(janela), GTK_WINDOW(olpa_janela));
  gtk_window_set_destroy_with_parent(GTK_WINDOW(janela), TRUE);
  gtk_window_set_default_size(GTK_WINDOW(janela), OLPA_AJUDA_LARGURA, OLPA_AJUDA_ALTURA);
  // Closing only hides it: the next F1 finds it where the learner left it.
  g_signal_connect(janela, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  GtkCssProvider *css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, ESTILO, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  GtkWidget *abas = gtk_notebook_new();
  pagina_funcoes(abas);
  pagina_erros(abas);
  pagina_exemplos(abas);
  gtk_container_add(GTK_CONTAINER(janela), abas);
}

gboolean tecla_f1(GtkAccelGroup *, GObject *, guint, GdkModifierType, gpointer) {
  olpa_ajuda_mostra();
  return TRUE;
}

} // namespace

void olpa_ajuda_mostra(void) {
  if (!janela)
    cria();
  gtk_widget_show_all(janela);
  gtk_window_present(GTK_WINDOW(janela));
}

GtkWidget *olpa_ajuda_janela(void) {
  return janela;
}

void olpa_ajuda_liga(void) {
  GtkAccelGroup *grupo = gtk_accel_group_new();
  gtk_accel_group_connect(grupo, GDK_KEY_F1, static_cast<GdkModifierType>(0), GTK_ACCEL_VISIBLE,
                          g_cclosure_new(G_CALLBACK(tecla_f1), nullptr, nullptr));
  gtk_window_add_accel_group(GTK_WINDOW(olpa_janela), grupo);
  g_object_unref(grupo);
}
