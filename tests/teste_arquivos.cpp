// "Abrir", "Salvar" and the close question, through the real dialogs: a timer
// finds the dialog on screen, checks what it shows and answers it the way a
// user would, while the action blocks in gtk_dialog_run.
#include "apoio.h"
#include "olpa.h"
#include "olpaparser.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct GFreeDeleter {
  void operator()(void *p) const { g_free(p); }
};
using GTexto = std::unique_ptr<char, GFreeDeleter>;

const char ARQUIVO_INVALIDO[] = "Arquivo inválido!";
const char SALVO[] = "[olpa] arquivo salvo.\n";

// ---------------------------------------------------------------- dialog driver

enum class Tipo { seletor, mensagem };

// Answers one dialog. Called on every tick while its kind of dialog is on top
// (`tentativa` counts the calls); returns true once it has answered.
struct Passo {
  Tipo tipo;
  std::function<bool(GtkWidget *dialogo, int tentativa)> responde;
};

std::deque<Passo> passos;
std::set<GtkWidget *> respondidos; // answered, but still on screen for a while
int tentativas;                    // ticks without progress while a dialog is up
int chamadas;                      // calls of the current step
int dialogos_respondidos;

constexpr int TIQUE_MS = 20;
constexpr int ESPERA_MAXIMA = 500; // ticks before a dialog counts as stuck

std::string texto_de(GtkWidget *mensagem) {
  gchar *texto = nullptr;
  g_object_get(mensagem, "text", &texto, nullptr);
  GTexto dono(texto);
  return texto ? texto : "";
}

std::string titulo_de(GtkWidget *janela) {
  const char *titulo = gtk_window_get_title(GTK_WINDOW(janela));
  return titulo ? titulo : "";
}

std::string descreve(GtkWidget *dialogo) {
  std::string s = G_OBJECT_TYPE_NAME(dialogo);
  s += " \"" + titulo_de(dialogo) + "\"";
  if (GTK_IS_MESSAGE_DIALOG(dialogo))
    s += ": " + texto_de(dialogo);
  return s;
}

std::vector<GtkWidget *> dialogos_visiveis() {
  std::vector<GtkWidget *> visiveis;
  GList *janelas = gtk_window_list_toplevels();
  for (GList *l = janelas; l; l = l->next) {
    GtkWidget *w = GTK_WIDGET(l->data);
    if (gtk_widget_get_visible(w) && (GTK_IS_MESSAGE_DIALOG(w) || GTK_IS_FILE_CHOOSER_DIALOG(w)))
      visiveis.push_back(w);
  }
  g_list_free(janelas);
  return visiveis;
}

// The dialog a user would answer next: a message dialog stands over the file
// chooser it came from.
GtkWidget *dialogo_do_topo(const std::vector<GtkWidget *> &visiveis) {
  GtkWidget *mensagem = nullptr, *seletor = nullptr;
  for (GtkWidget *w : visiveis) {
    if (respondidos.count(w))
      continue;
    if (GTK_IS_MESSAGE_DIALOG(w))
      mensagem = w;
    else
      seletor = w;
  }
  return mensagem ? mensagem : seletor;
}

// A dialog's memory is soon reused for the next one: forget it once it is gone.
void esquece(gpointer, GObject *dialogo) {
  respondidos.erase(GTK_WIDGET(dialogo));
}

void marca_respondido(GtkWidget *dialogo) {
  if (respondidos.insert(dialogo).second)
    g_object_weak_ref(G_OBJECT(dialogo), esquece, nullptr);
}

// "Yes" to a question, so that a close question cannot keep the main loop.
void desiste(GtkWidget *dialogo) {
  gtk_dialog_response(GTK_DIALOG(dialogo),
                      GTK_IS_MESSAGE_DIALOG(dialogo) ? GTK_RESPONSE_YES : GTK_RESPONSE_CANCEL);
}

gboolean tique(gpointer) {
  const std::vector<GtkWidget *> visiveis = dialogos_visiveis();
  if (visiveis.empty()) {
    tentativas = 0;
    return G_SOURCE_CONTINUE;
  }
  if (++tentativas > ESPERA_MAXIMA) {
    // Something waits for an answer no step gives: close it all.
    std::string quais;
    for (GtkWidget *w : visiveis)
      quais += "\n  " + descreve(w);
    ADD_FAILURE() << "dialogs left waiting:" << quais;
    passos.clear();
    respondidos.clear();
    tentativas = chamadas = 0;
    desiste(visiveis.back());
    return G_SOURCE_CONTINUE;
  }
  GtkWidget *topo = dialogo_do_topo(visiveis);
  if (!topo)
    return G_SOURCE_CONTINUE;
  if (passos.empty()) {
    ADD_FAILURE() << "unexpected dialog: " << descreve(topo);
    marca_respondido(topo);
    desiste(topo);
    return G_SOURCE_CONTINUE;
  }
  const Tipo tipo = GTK_IS_MESSAGE_DIALOG(topo) ? Tipo::mensagem : Tipo::seletor;
  if (tipo != passos.front().tipo)
    return G_SOURCE_CONTINUE; // the expected dialog is not up yet
  // Copy first: the step may queue others.
  const Passo passo = passos.front();
  if (passo.responde(topo, chamadas++)) {
    marca_respondido(topo);
    passos.pop_front();
    tentativas = chamadas = 0;
    dialogos_respondidos++;
  }
  return G_SOURCE_CONTINUE;
}

// Runs `acao` (which blocks in its dialogs) while the steps answer them.
void com_dialogos(std::vector<Passo> lista, const std::function<void()> &acao) {
  passos.assign(lista.begin(), lista.end());
  respondidos.clear();
  tentativas = chamadas = 0;
  const guint fonte = g_timeout_add(TIQUE_MS, tique, nullptr);
  acao();
  g_source_remove(fonte);
  EXPECT_TRUE(passos.empty()) << passos.size() << " expected dialog(s) never showed";
  passos.clear();
  respondidos.clear();
}

// ---------------------------------------------------------------- checks on dialogs

std::string pasta_exemplos() {
  GTexto pasta(g_canonicalize_filename("../exemplos", nullptr));
  return pasta.get();
}

std::string pasta_de(GtkWidget *seletor) {
  GTexto pasta(gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(seletor)));
  return pasta ? pasta.get() : "";
}

std::string arquivo_de(GtkWidget *seletor) {
  GTexto nome(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(seletor)));
  return nome ? nome.get() : "";
}

std::string nome_de(GtkWidget *seletor) {
  GTexto nome(gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(seletor)));
  return nome ? nome.get() : "";
}

std::string rotulo(GtkWidget *dialogo, int resposta) {
  GtkWidget *botao = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialogo), resposta);
  return botao ? gtk_button_get_label(GTK_BUTTON(botao)) : "(none)";
}

void confere_seletor(GtkWidget *d, const char *titulo, GtkFileChooserAction acao,
                     const char *aceitar) {
  GtkFileChooser *seletor = GTK_FILE_CHOOSER(d);
  EXPECT_EQ(titulo_de(d), titulo);
  EXPECT_EQ(gtk_file_chooser_get_action(seletor), acao);
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(d)), GTK_WINDOW(olpa_janela));
  EXPECT_EQ(rotulo(d, GTK_RESPONSE_CANCEL), "_Cancelar");
  EXPECT_EQ(rotulo(d, GTK_RESPONSE_ACCEPT), aceitar);
  GSList *filtros = gtk_file_chooser_list_filters(seletor);
  ASSERT_EQ(g_slist_length(filtros), 1u);
  EXPECT_STREQ(gtk_file_filter_get_name(GTK_FILE_FILTER(filtros->data)),
               "Arquivos do Olpa (*.olp)");
  g_slist_free(filtros);
  if (acao == GTK_FILE_CHOOSER_ACTION_SAVE) {
    EXPECT_TRUE(gtk_file_chooser_get_do_overwrite_confirmation(seletor));
  }
}

// "Abrir": checks the dialog, picks `caminho` and accepts. With `some` the
// file is deleted between picking and accepting, as if another program had
// removed it meanwhile.
Passo abrir(const std::string &caminho, bool some = false) {
  auto escolheu = std::make_shared<bool>(false);
  return {Tipo::seletor, [caminho, some, escolheu](GtkWidget *d, int tentativa) {
            if (!*escolheu) {
              // The folder is taken over once the dialog has started.
              if (pasta_de(d).empty() && tentativa < 150)
                return false;
              confere_seletor(d, "Abrir", GTK_FILE_CHOOSER_ACTION_OPEN, "_Abrir");
              EXPECT_EQ(pasta_de(d), pasta_exemplos());
              gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), caminho.c_str());
              *escolheu = true;
            }
            // The folder loads in the background; the pick counts once listed.
            // A pick made while the folder was still being switched can be
            // lost: pick again now and then, as a user would click again.
            if (arquivo_de(d) != caminho) {
              if (tentativa % 50 == 49)
                gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), caminho.c_str());
              return false;
            }
            if (some)
              remove(caminho.c_str());
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
            return true;
          }};
}

// "Salvar": checks the dialog and the folder and name it opened with, then
// saves under `destino` (empty: as offered), or cancels.
Passo salvar(const std::string &pasta, const std::string &nome, const std::string &destino = "",
             int resposta = GTK_RESPONSE_ACCEPT) {
  return {Tipo::seletor, [pasta, nome, destino, resposta](GtkWidget *d, int tentativa) {
            if (tentativa == 0)
              confere_seletor(d, "Salvar", GTK_FILE_CHOOSER_ACTION_SAVE, "_Salvar");
            // A known file is selected once its folder has loaded.
            const bool pronto = pasta_de(d) == pasta && nome_de(d) == nome;
            if (!pronto && tentativa < 150)
              return false;
            EXPECT_EQ(pasta_de(d), pasta);
            EXPECT_EQ(nome_de(d), nome);
            if (!destino.empty()) {
              GTexto dir(g_path_get_dirname(destino.c_str()));
              GTexto base(g_path_get_basename(destino.c_str()));
              gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(d), dir.get());
              gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), base.get());
            }
            gtk_dialog_response(GTK_DIALOG(d), resposta);
            return true;
          }};
}

// "Salvar" only looked at: what it offers, then cancelled.
Passo oferece(const std::string &pasta, const std::string &nome) {
  return salvar(pasta, nome, "", GTK_RESPONSE_CANCEL);
}

Passo cancelar() {
  return {Tipo::seletor, [](GtkWidget *d, int) {
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
            return true;
          }};
}

bool algum_seletor_visivel() {
  bool visivel = false;
  GList *janelas = gtk_window_list_toplevels();
  for (GList *l = janelas; l; l = l->next)
    visivel |= GTK_IS_FILE_CHOOSER_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data));
  g_list_free(janelas);
  return visivel;
}

// The warning dialog, with its exact text. A refused load shows it over the
// file chooser, which stays open until the user has read it.
Passo aviso(const std::string &texto, bool sobre_seletor) {
  return {Tipo::mensagem, [texto, sobre_seletor](GtkWidget *d, int) {
            EXPECT_EQ(titulo_de(d), "Aviso");
            EXPECT_EQ(texto_de(d), texto);
            GtkMessageType tipo;
            g_object_get(d, "message-type", &tipo, nullptr);
            EXPECT_EQ(tipo, GTK_MESSAGE_WARNING);
            EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(d)), GTK_WINDOW(olpa_janela));
            EXPECT_TRUE(gtk_dialog_get_widget_for_response(GTK_DIALOG(d), GTK_RESPONSE_OK));
            EXPECT_EQ(algum_seletor_visivel(), sobre_seletor);
            // However long the file name, the whole text fits on the screen.
            int largura = 0;
            gtk_widget_get_preferred_width(d, nullptr, &largura);
            EXPECT_LE(largura, 800);
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_OK);
            return true;
          }};
}

// GTK's own "replace the existing file?" question, asked over the chooser.
Passo substituir(bool sim) {
  return {Tipo::mensagem, [sim](GtkWidget *d, int) {
            GtkWindow *pai = gtk_window_get_transient_for(GTK_WINDOW(d));
            EXPECT_TRUE(pai && GTK_IS_FILE_CHOOSER_DIALOG(pai)) << descreve(d);
            gtk_dialog_response(GTK_DIALOG(d), sim ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
            if (!sim)
              respondidos.clear(); // the chooser stays open for another answer
            return true;
          }};
}

// A yes/no question titled "Confirmação".
Passo pergunta(const std::string &texto, bool sim) {
  return {Tipo::mensagem, [texto, sim](GtkWidget *d, int) {
            EXPECT_EQ(titulo_de(d), "Confirmação");
            EXPECT_EQ(texto_de(d), texto);
            EXPECT_TRUE(gtk_dialog_get_widget_for_response(GTK_DIALOG(d), GTK_RESPONSE_YES));
            EXPECT_TRUE(gtk_dialog_get_widget_for_response(GTK_DIALOG(d), GTK_RESPONSE_NO));
            gtk_dialog_response(GTK_DIALOG(d), sim ? GTK_RESPONSE_YES : GTK_RESPONSE_NO);
            return true;
          }};
}

// ---------------------------------------------------------------- window state

std::string texto_do(GtkTextBuffer *buffer) {
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(buffer, &inicio, &fim);
  GTexto texto(gtk_text_buffer_get_text(buffer, &inicio, &fim, TRUE));
  return texto.get();
}

std::string editor() {
  return texto_do(olpa_campo_codigo_buffer);
}
std::string console() {
  return texto_do(olpa_campo_console_buffer);
}
void poe_no_editor(const std::string &texto) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, texto.data(), static_cast<gint>(texto.size()));
}

// Pixels of what the image view shows compared with a picture file.
bool imagem_mostra(const std::string &arquivo) {
  GdkPixbuf *mostrada = gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem));
  GdkPixbuf *esperada = gdk_pixbuf_new_from_file(arquivo.c_str(), nullptr);
  bool igual = mostrada && esperada &&
               gdk_pixbuf_get_width(mostrada) == gdk_pixbuf_get_width(esperada) &&
               gdk_pixbuf_get_height(mostrada) == gdk_pixbuf_get_height(esperada) &&
               gdk_pixbuf_get_byte_length(mostrada) == gdk_pixbuf_get_byte_length(esperada) &&
               memcmp(gdk_pixbuf_read_pixels(mostrada), gdk_pixbuf_read_pixels(esperada),
                      gdk_pixbuf_get_byte_length(mostrada)) == 0;
  if (esperada)
    g_object_unref(esperada);
  return igual;
}

void grava_png_vermelho(const std::string &caminho) {
  OlpaSurface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480));
  OlpaCairo c(cairo_create(s.get()));
  cairo_set_source_rgb(c.get(), 1, 0, 0);
  cairo_paint(c.get());
  ASSERT_EQ(cairo_surface_write_to_png(s.get(), caminho.c_str()), CAIRO_STATUS_SUCCESS);
}

// Plain stdio: GLib's atomic writer cannot make files with the longest names.
void escreve_direto(const std::string &caminho, const std::string &conteudo) {
  FILE *f = fopen(caminho.c_str(), "wb");
  ASSERT_TRUE(f) << caminho;
  fwrite(conteudo.data(), 1, conteudo.size(), f);
  fclose(f);
}

const char TEXTO_COM_ACENTOS[] = "// ação e coração\r\n"
                                 "int main() {\r\n"
                                 "\tinicia(); /* “aspas” € ñ */\n"
                                 "  termina();\r\n"
                                 "}";

// One window for all cases, in a temporary run tree.
class Arquivos : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    raiz = new RaizTemporaria;
    olpa_UI(1020, 500, "olpa v0.51");
  }
  static void TearDownTestSuite() {
    parser_encerra();
    delete raiz;
    raiz = nullptr;
  }
  void SetUp() override {
    poe_no_editor(OLPA_TEXTO_INICIAL);
    gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, FALSE);
    olpa_limpa_tela_e_console(nullptr, nullptr);
    olpa_nome_arquivo.clear();
    remove(em_exemplos("meuprojeto.olp").c_str());
    dialogos_respondidos = 0;
  }
  static std::string em_exemplos(const std::string &nome) { return raiz->exemplos + "/" + nome; }
  static RaizTemporaria *raiz;
};
RaizTemporaria *Arquivos::raiz = nullptr;

// Loads a file that the editor should refuse, checking that nothing changes
// but the remembered name.
void carrega_recusado(const std::string &caminho) {
  poe_no_editor("// meu programa\n");
  const std::string console_antes = console();
  const int temnome_antes = olpa_arquivo_temnome;
  com_dialogos({abrir(caminho), aviso(ARQUIVO_INVALIDO, true)},
               [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "// meu programa\n");
  EXPECT_EQ(console(), console_antes);
  EXPECT_EQ(olpa_arquivo_temnome, temnome_antes);
  EXPECT_EQ(olpa_nome_arquivo, caminho);
}

// ---------------------------------------------------------------- cases

TEST_F(Arquivos, SalvarSemNomeOfereceMeuprojetoEmExemplos) {
  poe_no_editor("int main() { return 0; }\n");
  com_dialogos({salvar(pasta_exemplos(), "meuprojeto.olp")},
               [] { olpa_salvar(nullptr, olpa_janela); });
  const std::string arquivo = pasta_exemplos() + "/meuprojeto.olp";
  EXPECT_EQ(le_arquivo(arquivo), "int main() { return 0; }\n");
  EXPECT_EQ(olpa_nome_arquivo, arquivo);
  EXPECT_EQ(olpa_arquivo_temnome, 1);
  EXPECT_EQ(console(), std::string(OLPA_CONSOLE_INICIAL) + SALVO);
  EXPECT_FALSE(olpa_codigo_modificado());

  // A name typed without the extension is used as typed.
  const std::string sem_extensao = em_exemplos("sem_extensao");
  com_dialogos({salvar(pasta_exemplos(), "meuprojeto.olp", sem_extensao)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(sem_extensao), "int main() { return 0; }\n");
  EXPECT_FALSE(existe(sem_extensao + ".olp"));
  EXPECT_EQ(olpa_nome_arquivo, sem_extensao);
}

TEST_F(Arquivos, SalvarECarregarDevolvemOsMesmosBytes) {
  const std::string arquivo = em_exemplos("acentos.olp");
  poe_no_editor(TEXTO_COM_ACENTOS);
  com_dialogos({salvar(pasta_exemplos(), "meuprojeto.olp", arquivo)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(arquivo), TEXTO_COM_ACENTOS);

  poe_no_editor("// outra coisa\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), TEXTO_COM_ACENTOS);
  EXPECT_EQ(olpa_nome_arquivo, arquivo);
  EXPECT_EQ(olpa_arquivo_temnome, 1);
  EXPECT_FALSE(olpa_codigo_modificado());

  // An empty editor makes an empty file, which then does not load.
  poe_no_editor("");
  const std::string vazio = em_exemplos("vazio.olp");
  com_dialogos({salvar(pasta_exemplos(), "acentos.olp", vazio)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  ASSERT_TRUE(existe(vazio));
  EXPECT_EQ(le_arquivo(vazio), "");
  carrega_recusado(vazio);
}

TEST_F(Arquivos, ArquivoAusenteERecusado) {
  const std::string arquivo = em_exemplos("some.olp");
  escreve_arquivo(arquivo, "int x;\n");
  poe_no_editor("// meu programa\n");
  com_dialogos({abrir(arquivo, true), aviso(ARQUIVO_INVALIDO, true)},
               [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "// meu programa\n");
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_EQ(olpa_arquivo_temnome, 0);
  // The name was accepted all the same; "Salvar" still asks for a new one.
  EXPECT_EQ(olpa_nome_arquivo, arquivo);
  com_dialogos({salvar(pasta_exemplos(), "meuprojeto.olp")},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(em_exemplos("meuprojeto.olp")), "// meu programa\n");
}

TEST_F(Arquivos, TextoDeEditorAntigoEConvertido) {
  // Windows-1252: "ç" 0xE7, "ã" 0xE3, "€" 0x80, "—" 0x97.
  const std::string arquivo = em_exemplos("latin1.olp");
  escreve_arquivo(arquivo, "// a\xe7\xe3o custa \x80 5 \x97 ok\r\nint x;\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "// ação custa € 5 — ok\r\nint x;\n");
  EXPECT_EQ(olpa_arquivo_temnome, 1);

  // 0x81 has no character in Windows-1252: the whole file is read as ISO-8859-1.
  const std::string outro = em_exemplos("iso.olp");
  escreve_arquivo(outro, "// \x81 \xe9\n");
  com_dialogos({abrir(outro)}, [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "// \xc2\x81 é\n");

  // Saved again, the file is UTF-8.
  com_dialogos({salvar(pasta_exemplos(), "iso.olp"), substituir(true)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(outro), "// \xc2\x81 é\n");
}

TEST_F(Arquivos, ArquivoQueNaoEProgramaERecusado) {
  const std::string arquivo = em_exemplos("nulo.olp");
  escreve_arquivo(arquivo, std::string("int x;\0int y;\n", 14));
  carrega_recusado(arquivo);

  // A pipe or a folder named like a program (typed into the chooser by hand).
  const std::string cano = em_exemplos("cano.olp");
  ASSERT_EQ(mkfifo(cano.c_str(), 0644), 0);
  const std::string pasta = em_exemplos("pasta.olp");
  g_mkdir_with_parents(pasta.c_str(), 0755);
  for (const std::string &nome : {cano, pasta}) {
    olpa_nome_arquivo = nome;
    com_dialogos({aviso(ARQUIVO_INVALIDO, false)}, [] { EXPECT_EQ(olpa_carrega_codigo(), 0); });
    EXPECT_EQ(editor(), "// meu programa\n");
  }
  remove(cano.c_str());
  g_rmdir(pasta.c_str());
}

// Loading and saving share the runner's limit: what is saved opens again.
TEST_F(Arquivos, TamanhoLimite) {
  const std::string grande = em_exemplos("grande.olp");
  escreve_arquivo(grande, std::string(PARSER_LIMITE_CODIGO + 1, 'a'));
  carrega_recusado(grande);

  const std::string cabe = em_exemplos("cabe.olp");
  const std::string texto = "/*" + std::string(PARSER_LIMITE_CODIGO - 5, 'x') + "*/\n";
  ASSERT_EQ(texto.size(), PARSER_LIMITE_CODIGO);
  escreve_arquivo(cabe, texto);
  com_dialogos({abrir(cabe)}, [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), texto);
  EXPECT_EQ(olpa_nome_arquivo, cabe);
  EXPECT_EQ(olpa_arquivo_temnome, 1);

  // One byte more cannot be saved over it: the file keeps what opens.
  poe_no_editor(texto + "x");
  com_dialogos({salvar(pasta_exemplos(), "cabe.olp"), substituir(true),
                aviso("O programa tem mais de 1 MiB e não poderia ser aberto de novo; o arquivo "
                      "\"" +
                          cabe + "\" não foi salvo.",
                      true)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(cabe), texto);
}

// Salvar never turns a device or a pipe into a code file.
TEST_F(Arquivos, SalvarSoSubstituiArquivoComum) {
  const std::string cano = em_exemplos("cano_salvar.olp");
  ASSERT_EQ(mkfifo(cano.c_str(), 0644), 0);
  poe_no_editor("int x;\n");
  for (const std::string &nome : {cano, std::string("/dev/null")}) {
    olpa_nome_arquivo = nome;
    com_dialogos(
        {aviso("Não foi possível salvar o arquivo \"" + nome + "\": não é um arquivo comum.",
               false)},
        [] { EXPECT_FALSE(olpa_salvar_codigo()); });
  }
  struct stat info;
  ASSERT_EQ(stat(cano.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  remove(cano.c_str());
}

// Old Mac editors end lines with a lone CR: errors must not all land on line 1.
TEST_F(Arquivos, CrSozinhoTerminaLinha) {
  const std::string arquivo = em_exemplos("mac.olp");
  escreve_arquivo(arquivo, "int a;\rint b;\r\nint c;\r");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "int a;\nint b;\r\nint c;\n");
}

TEST_F(Arquivos, DestinoQueNaoPodeSerGravadoPreservaOArquivoAntigo) {
  // A name this long leaves no room for the temporary file the save writes
  // first, so the old file must come through untouched.
  const std::string nome = std::string(246, 'n') + ".olp";
  const std::string arquivo = em_exemplos(nome);
  escreve_direto(arquivo, "// versão antiga\n");
  poe_no_editor("// versão nova\n");
  com_dialogos(
      {salvar(pasta_exemplos(), "meuprojeto.olp", arquivo), substituir(true),
       aviso("Não foi possível salvar o arquivo \"" + arquivo + "\": o nome é longo demais.",
             true)},
      [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(arquivo), "// versão antiga\n");
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(olpa_codigo_modificado());

  // A folder that does not exist (gone after the dialog was answered).
  olpa_nome_arquivo = raiz->raiz + "/sumiu/prog.olp";
  com_dialogos(
      {aviso("Não foi possível salvar o arquivo \"" + olpa_nome_arquivo + "\": a pasta não existe.",
             false)},
      [] { EXPECT_FALSE(olpa_salvar_codigo()); });
  EXPECT_FALSE(existe(olpa_nome_arquivo));
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
}

TEST_F(Arquivos, DesfazerDepoisDeAbrirTrazDeVoltaOTrabalho) {
  // "Abrir" asks nothing: undo is the way back to what the load replaced.
  const std::string arquivo = em_exemplos("por_cima.olp");
  escreve_arquivo(arquivo, "int carregado;\n");
  poe_no_editor("// trabalho não salvo\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  ASSERT_EQ(editor(), "int carregado;\n");
  GtkSourceBuffer *codigo = GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer);
  ASSERT_TRUE(gtk_source_buffer_can_undo(codigo));
  gtk_source_buffer_undo(codigo);
  EXPECT_EQ(editor(), "// trabalho não salvo\n");
  EXPECT_TRUE(olpa_codigo_modificado());
}

TEST_F(Arquivos, SalvarPorUmLinkGravaNoArquivoApontado) {
  const std::string real = em_exemplos("real.olp"), atalho = em_exemplos("atalho.olp");
  escreve_arquivo(real, "int r;\n");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.olp", atalho.c_str()), 0);
  poe_no_editor("// antes\n");
  com_dialogos({abrir(atalho)}, [] { olpa_abrir(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "int r;\n");

  poe_no_editor("int s;\n");
  com_dialogos({salvar(pasta_exemplos(), "atalho.olp"), substituir(true)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_TRUE(g_file_test(atalho.c_str(), G_FILE_TEST_IS_SYMLINK));
  EXPECT_EQ(le_arquivo(real), "int s;\n");
  GStatBuf info;
  ASSERT_EQ(g_stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(Arquivos, SalvarPorCimaPedeConfirmacao) {
  const std::string arquivo = em_exemplos("duas.olp");
  poe_no_editor("// um\n");
  com_dialogos({salvar(pasta_exemplos(), "meuprojeto.olp", arquivo)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(arquivo), "// um\n");

  // Refusing the replacement keeps the chooser open; cancelling it writes nothing.
  poe_no_editor("// dois\n");
  com_dialogos({salvar(pasta_exemplos(), "duas.olp"), substituir(false), cancelar()},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(arquivo), "// um\n");
  EXPECT_EQ(console(), std::string(OLPA_CONSOLE_INICIAL) + SALVO);

  com_dialogos({salvar(pasta_exemplos(), "duas.olp"), substituir(true)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(arquivo), "// dois\n");
  EXPECT_EQ(console(), std::string(OLPA_CONSOLE_INICIAL) + SALVO + SALVO);
}

TEST_F(Arquivos, SalvarOfereceOArquivoConhecido) {
  // A file loaded from elsewhere: "Salvar" opens in its folder with its name.
  const std::string outra = raiz->raiz + "/outra";
  g_mkdir_with_parents(outra.c_str(), 0755);
  const std::string arquivo = outra + "/de_fora.olp";
  escreve_arquivo(arquivo, "int a;\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  ASSERT_EQ(editor(), "int a;\n");
  com_dialogos({salvar(outra, "de_fora.olp", em_exemplos("copia.olp"))},
               [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(em_exemplos("copia.olp")), "int a;\n");

  // After a save, the saved file is offered; "Abrir" still starts in exemplos.
  com_dialogos({salvar(pasta_exemplos(), "copia.olp"), substituir(true)},
               [] { olpa_salvar(nullptr, olpa_janela); });
  com_dialogos({cancelar()}, [] { olpa_abrir(nullptr, olpa_janela); });

  // "Limpar" forgets the name.
  olpa_limpa_tela_e_console(nullptr, nullptr);
  com_dialogos({oferece(pasta_exemplos(), "meuprojeto.olp")},
               [] { olpa_salvar(nullptr, olpa_janela); });

  // "Novo" answered no keeps it; answered yes forgets it.
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  com_dialogos({pergunta("Deseja abandonar todas as alterações?", false)},
               [] { olpa_confirma_limpar(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), "int a;\n");
  com_dialogos({oferece(outra, "de_fora.olp")}, [] { olpa_salvar(nullptr, olpa_janela); });
  com_dialogos({pergunta("Deseja abandonar todas as alterações?", true)},
               [] { olpa_confirma_limpar(nullptr, olpa_janela); });
  EXPECT_EQ(editor(), OLPA_TEXTO_INICIAL);
  com_dialogos({oferece(pasta_exemplos(), "meuprojeto.olp")},
               [] { olpa_salvar(nullptr, olpa_janela); });

  // A known file that has since disappeared is still offered by name.
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  remove(arquivo.c_str());
  com_dialogos({salvar(outra, "de_fora.olp")}, [] { olpa_salvar(nullptr, olpa_janela); });
  EXPECT_EQ(le_arquivo(arquivo), "int a;\n");
}

TEST_F(Arquivos, CancelarNaoMudaNada) {
  const std::string arquivo = em_exemplos("conhecido.olp");
  escreve_arquivo(arquivo, "int k;\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  poe_no_editor("// mudado\n");
  gtk_text_buffer_set_text(olpa_campo_console_buffer, "saída anterior\n", -1);

  com_dialogos({cancelar()}, [] { olpa_abrir(nullptr, olpa_janela); });
  com_dialogos({oferece(pasta_exemplos(), "conhecido.olp")},
               [] { olpa_salvar(nullptr, olpa_janela); });
  // Closing the chooser with the window's close button is a cancel too.
  com_dialogos({{Tipo::seletor,
                 [](GtkWidget *d, int) {
                   gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_DELETE_EVENT);
                   return true;
                 }}},
               [] { olpa_salvar(nullptr, olpa_janela); });

  EXPECT_EQ(editor(), "// mudado\n");
  EXPECT_EQ(console(), "saída anterior\n");
  EXPECT_EQ(le_arquivo(arquivo), "int k;\n");
  EXPECT_EQ(olpa_nome_arquivo, arquivo);
  EXPECT_EQ(olpa_arquivo_temnome, 1);
  EXPECT_TRUE(olpa_codigo_modificado());
}

TEST_F(Arquivos, CarregarLimpaTelaConsoleEDefinicoes) {
  const std::string imagem = raiz->telas + "/imagem.png";
  grava_png_vermelho(imagem);
  gtk_text_buffer_set_text(olpa_campo_console_buffer, "[olpa] compilando\n[erro] linha 1\n", -1);
  olpa_console_erro();
  gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), imagem.c_str());
  ASSERT_TRUE(imagem_mostra(imagem));
  ASSERT_FALSE(imagem_mostra("olpalib/init.png"));
  snprintf(olpa_arquivo_exportar, sizeof olpa_arquivo_exportar, "%s", "../telas/outra.png");
  olpa_arquivo_gravamanual = 1;

  const std::string arquivo = em_exemplos("limpa.olp");
  escreve_arquivo(arquivo, "int main() {}\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });

  EXPECT_EQ(editor(), "int main() {}\n");
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_TRUE(imagem_mostra("olpalib/init.png"));
  EXPECT_FALSE(existe(imagem));
  EXPECT_STREQ(olpa_arquivo_exportar, "../telas/imagem.png");
  EXPECT_EQ(olpa_arquivo_gravamanual, 0);
  EXPECT_EQ(olpa_arquivo_temnome, 1);
}

// ---------------------------------------------------------------- closing

gboolean fecha_janela(gpointer) {
  gtk_window_close(GTK_WINDOW(olpa_janela));
  return G_SOURCE_REMOVE;
}

const char SAIR[] = "Deseja sair sem salvar as alterações?";

TEST_F(Arquivos, FecharComAlteracoesPergunta) {
  const std::string arquivo = em_exemplos("fechar.olp");
  escreve_arquivo(arquivo, "int f;\n");
  com_dialogos({abrir(arquivo)}, [] { olpa_abrir(nullptr, olpa_janela); });
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_insert(olpa_campo_codigo_buffer, &fim, "int g;\n", -1);

  // "No" keeps window and code; then the window is closed again and "yes" ends
  // the main loop.
  static bool manteve;
  manteve = false;
  Passo nao = pergunta(SAIR, false);
  Passo sim = pergunta(SAIR, true);
  nao.responde = [nao](GtkWidget *d, int tentativa) {
    nao.responde(d, tentativa);
    g_timeout_add(
        100,
        [](gpointer) -> gboolean {
          manteve = gtk_widget_get_visible(olpa_janela) && editor() == "int f;\nint g;\n";
          gtk_window_close(GTK_WINDOW(olpa_janela));
          return G_SOURCE_REMOVE;
        },
        nullptr);
    return true;
  };
  com_dialogos({nao, sim}, [] {
    g_idle_add(fecha_janela, nullptr);
    gtk_main();
  });
  EXPECT_TRUE(manteve);
  EXPECT_EQ(dialogos_respondidos, 3);
}

TEST_F(Arquivos, FecharSemAlteracoesNaoPergunta) {
  // Just loaded, just saved, or after "Novo": nothing to lose.
  const std::string arquivo = em_exemplos("sem_mudancas.olp");
  escreve_arquivo(arquivo, "int s;\n");
  com_dialogos({abrir(arquivo)}, [] {
    olpa_abrir(nullptr, olpa_janela);
    g_idle_add(fecha_janela, nullptr);
    gtk_main();
  });

  poe_no_editor("int t;\n");
  com_dialogos({salvar(pasta_exemplos(), "sem_mudancas.olp"), substituir(true)}, [] {
    olpa_salvar(nullptr, olpa_janela);
    g_idle_add(fecha_janela, nullptr);
    gtk_main();
  });
  EXPECT_EQ(le_arquivo(arquivo), "int t;\n");

  poe_no_editor("int u;\n");
  com_dialogos({pergunta("Deseja abandonar todas as alterações?", true)}, [] {
    olpa_confirma_limpar(nullptr, olpa_janela);
    g_idle_add(fecha_janela, nullptr);
    gtk_main();
  });
  EXPECT_EQ(dialogos_respondidos, 4); // open, save, replace, "Novo": no close question
}

} // namespace

int main(int argc, char **argv) {
  // Keep GTK's recent-files list and settings out of the user's home.
  char modelo[] = "/tmp/olpa-teste-dados-XXXXXX";
  const char *dados = g_mkdtemp(modelo);
  if (dados)
    setenv("XDG_DATA_HOME", dados, 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  gtk_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int resultado = RUN_ALL_TESTS();
  if (dados) {
    const std::string comando = std::string("rm -rf '") + dados + "'";
    if (system(comando.c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", dados);
  }
  return resultado;
}
