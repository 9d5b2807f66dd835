// SPDX-License-Identifier: GPL-3.0-or-later
// "Abrir" and "Salvar" through the real dialogs, with the file edge cases
// that must never lose a learner's code, and closing the window.
#include "janela.h"

#include <vector>

#include "olpaparser.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

namespace {

const Resposta INVALIDO = aviso("Arquivo inválido!");
// Abandoning the changes not saved, as Abrir asks first.
const Resposta SIM = novo(GTK_RESPONSE_YES);

const char ACENTOS[] = "// ação\r\nint main() {\r\n\tinicia(); /* “aspas” € */\n}";

TEST_F(Janela, SalvarEAbrirDevolvemOsMesmosBytes) {
  poe(ACENTOS);
  clica(olpa_bt_salvar, {salvar_novo(GTK_RESPONSE_ACCEPT)});
  const std::string arquivo = em_exemplos("meuprojeto.olp");
  EXPECT_EQ(le_arquivo(arquivo), ACENTOS);
  EXPECT_EQ(console(), std::string(OLPA_CONSOLE_INICIAL) + "[olpa] arquivo salvo.\n");
  EXPECT_FALSE(olpa_codigo_modificado());
  poe("// outra coisa\n");
  clica(olpa_bt_abrir, {abrir(arquivo), SIM});
  EXPECT_EQ(editor(), ACENTOS);
  gtk_source_buffer_undo(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer)); // a load undoes in one step
  EXPECT_EQ(editor(), "// outra coisa\n");
  // A name typed without the extension is used as typed.
  clica(olpa_bt_salvar, {salvar(exemplos, "meuprojeto.olp", em_exemplos("sem_extensao"))});
  EXPECT_EQ(le_arquivo(em_exemplos("sem_extensao")), "// outra coisa\n");
  // An empty editor makes an empty file, which does not load.
  poe("");
  clica(olpa_bt_salvar, {salvar(exemplos, "sem_extensao", arquivo), substituir(true)});
  EXPECT_EQ(le_arquivo(arquivo), "");
  poe("// meu programa\n");
  clica(olpa_bt_abrir, {abrir(arquivo), SIM, INVALIDO});
  EXPECT_EQ(editor(), "// meu programa\n");
}

TEST_F(Janela, ArquivosQueNaoSaoProgramasSaoRecusados) {
  const std::string nulo = em_exemplos("nulo.olp"), grande = em_exemplos("grande.olp");
  escreve_arquivo(nulo, std::string("int x;\0int y;\n", 14));
  escreve_arquivo(grande, std::string(PARSER_LIMITE_CODIGO + 1, 'a'));
  escreve_arquivo(em_exemplos("some.olp"), "int x;\n");
  poe("// meu programa\n");
  for (const std::string &arquivo : {nulo, grande})
    clica(olpa_bt_abrir, {abrir(arquivo), SIM, INVALIDO});
  clica(olpa_bt_abrir, {abrir(em_exemplos("some.olp"), true), SIM, INVALIDO});
  // A pipe must not block the load; a folder is no program either.
  ASSERT_EQ(mkfifo(em_exemplos("cano.olp").c_str(), 0644), 0);
  g_mkdir(em_exemplos("pasta.olp").c_str(), 0755);
  com_respostas({INVALIDO, INVALIDO}, [this] {
    for (const char *nome : {"cano.olp", "pasta.olp"}) {
      olpa_nome_arquivo = em_exemplos(nome);
      EXPECT_EQ(olpa_carrega_codigo(), 0);
    }
  });
  EXPECT_EQ(editor(), "// meu programa\n");
  EXPECT_EQ(olpa_arquivo_temnome, 0);
  // The runner's limit fits (short lines: a long line takes GTK seconds to
  // lay out); one byte more cannot be saved over it, so what is saved opens.
  std::string cabe;
  while (cabe.size() + 80 <= PARSER_LIMITE_CODIGO)
    cabe += "//" + std::string(77, 'x') + "\n";
  cabe += std::string(PARSER_LIMITE_CODIGO - cabe.size() - 1, 'x') + "\n";
  escreve_arquivo(grande, cabe);
  clica(olpa_bt_abrir, {abrir(grande), SIM});
  EXPECT_EQ(editor(), cabe);
  GtkTextIter fim; // one byte more, typed at the end (not the whole text laid out again)
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_insert(olpa_campo_codigo_buffer, &fim, "x", -1);
  clica(olpa_bt_salvar, {salvar(exemplos, "grande.olp"), substituir(true),
                         aviso("O programa tem mais de 1 MiB e não poderia ser aberto de novo; o "
                               "arquivo \"" +
                               grande + "\" não foi salvo.")});
  EXPECT_EQ(le_arquivo(grande), cabe);
  // Salvar never turns a pipe or a device into a code file (one of the
  // test's own making: a regression must not replace the system's).
  poe("int x;\n");
  const std::string dispositivo = em_exemplos("dispositivo.olp");
  const bool com_dispositivo = mknod(dispositivo.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  std::vector<std::string> especiais = {em_exemplos("cano.olp")};
  if (com_dispositivo) // only who may make devices (root) tests one
    especiais.push_back(dispositivo);
  for (const std::string &nome : especiais)
    com_respostas(
        {aviso("Não foi possível salvar o arquivo \"" + nome + "\": não é um arquivo comum.")},
        [&] {
          olpa_nome_arquivo = nome;
          EXPECT_FALSE(olpa_salvar_codigo());
        });
  GStatBuf info;
  EXPECT_TRUE(g_stat(em_exemplos("cano.olp").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(!com_dispositivo ||
              (g_stat(dispositivo.c_str(), &info) == 0 && S_ISCHR(info.st_mode)));
  // Old Mac editors end lines with a lone CR: errors must not all land on line 1.
  escreve_arquivo(nulo, "int a;\rint b;\r\nint c;\r");
  clica(olpa_bt_abrir, {abrir(nulo), SIM});
  EXPECT_EQ(editor(), "int a;\nint b;\r\nint c;\n");
  // Text from an old Windows editor is converted.
  escreve_arquivo(nulo, "// a\xe7\xe3o custa \x80 5\n");
  clica(olpa_bt_abrir, {abrir(nulo)});
  EXPECT_EQ(editor(), "// ação custa € 5\n");
}

// Abrir asks before it replaces changes not saved, as "Novo" does: "no"
// keeps the text, its changes and the file name; with nothing to lose it
// asks nothing (a question would go unanswered and fail).
TEST_F(Janela, AbrirComAlteracoesPergunta) {
  const std::string arquivo = em_exemplos("outro.olp");
  escreve_arquivo(arquivo, "int outro;\n");
  poe("int meu;\n");
  clica(olpa_bt_abrir, {abrir(arquivo), novo(GTK_RESPONSE_NO)});
  EXPECT_EQ(editor(), "int meu;\n");
  EXPECT_TRUE(olpa_nome_arquivo.empty());
  EXPECT_TRUE(olpa_codigo_modificado());
  clica(olpa_bt_abrir, {abrir(arquivo), SIM});
  EXPECT_EQ(editor(), "int outro;\n");
  EXPECT_EQ(olpa_nome_arquivo, arquivo);
  clica(olpa_bt_abrir, {abrir(arquivo)});
}

TEST_F(Janela, AbrirLimpaATela) {
  rodar("int main(void) { inicia_arquivo(\"m.png\"); grava_tela(\"m.png\"); }");
  rodar("int main(void) { int x = y; }");
  escreve_arquivo("../telas/imagem.png", le_arquivo("../telas/m.png"));
  escreve_arquivo(em_exemplos("limpa.olp"), "int main(void) { inicia(); termina(); }\n");
  clica(olpa_bt_abrir, {abrir(em_exemplos("limpa.olp")), SIM});
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_FALSE(existe("../telas/imagem.png"));
  clica(olpa_bt_executar); // saves automatically again
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

TEST_F(Janela, SalvarOfereceOArquivoConhecido) {
  const std::string pasta = exemplos + "_fora", arquivo = pasta + "/de_fora.olp";
  g_mkdir(pasta.c_str(), 0755);
  escreve_arquivo(arquivo, "int a;\n");
  clica(olpa_bt_abrir, {abrir(arquivo)});
  clica(olpa_bt_salvar, {salvar(pasta, "de_fora.olp", "", GTK_RESPONSE_CANCEL)});
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_NO)});
  clica(olpa_bt_salvar, {salvar(pasta, "de_fora.olp", "", GTK_RESPONSE_DELETE_EVENT)});
  // Refusing to replace keeps the dialog; cancelling it then writes nothing.
  poe("int b;\n");
  clica(olpa_bt_salvar,
        {salvar(pasta, "de_fora.olp"), substituir(false), responde(GTK_RESPONSE_CANCEL)});
  EXPECT_EQ(le_arquivo(arquivo) + console(), "int a;\n" + std::string(OLPA_CONSOLE_INICIAL));
  g_remove(arquivo.c_str()); // a known file that has gone is still offered by name
  clica(olpa_bt_salvar, {salvar(pasta, "de_fora.olp")});
  EXPECT_EQ(le_arquivo(arquivo), "int b;\n");
  clica(olpa_bt_abrir, {responde(GTK_RESPONSE_CANCEL)}); // still in exemplos/, checked by abrir
  EXPECT_EQ(editor(), "int b;\n");
  // "Limpar" and "Novo" forget the name.
  clica(olpa_bt_limpar);
  clica(olpa_bt_salvar, {salvar_novo()});
  clica(olpa_bt_abrir, {abrir(arquivo)});
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  clica(olpa_bt_salvar, {salvar_novo()});
}

TEST_F(Janela, SalvarSemPoderGravarPreservaOArquivo) {
  // So long a name leaves no room for the temporary file written first.
  const std::string arquivo = em_exemplos(std::string(246, 'n') + ".olp");
  FILE *f = fopen(arquivo.c_str(), "w");
  fputs("// antiga\n", f);
  fclose(f);
  poe("// nova\n");
  clica(olpa_bt_salvar,
        {salvar(exemplos, "meuprojeto.olp", arquivo), substituir(true),
         aviso("Não foi possível salvar o arquivo \"" + arquivo + "\": o nome é longo demais.")});
  EXPECT_EQ(le_arquivo(arquivo) + console(), "// antiga\n" + std::string(OLPA_CONSOLE_INICIAL));
  EXPECT_TRUE(olpa_codigo_modificado());
  // Through a link: into the file it points at, keeping link and permissions.
  const std::string real = em_exemplos("real.olp"), atalho = em_exemplos("atalho.olp");
  escreve_arquivo(real, "int r;\n");
  g_chmod(real.c_str(), 0640);
  ASSERT_EQ(symlink("real.olp", atalho.c_str()), 0);
  clica(olpa_bt_abrir, {abrir(atalho), SIM});
  poe("int s;\n");
  clica(olpa_bt_salvar, {salvar(exemplos, "atalho.olp"), substituir(true)});
  GStatBuf info;
  EXPECT_TRUE(g_file_test(atalho.c_str(), G_FILE_TEST_IS_SYMLINK));
  EXPECT_TRUE(g_stat(real.c_str(), &info) == 0 && (info.st_mode & 0777) == 0640);
  EXPECT_EQ(le_arquivo(real), "int s;\n");
}

// Closes the window from inside the main loop, answering `lista`; true
// when that ended the loop (within 3 s).
bool fecha(std::vector<Resposta> lista) {
  static bool saiu;
  saiu = true;
  com_respostas(lista, [] {
    g_idle_add([](gpointer) { return gtk_window_close(GTK_WINDOW(olpa_janela)), G_SOURCE_REMOVE; },
               nullptr);
    const guint limite = g_timeout_add(
        3000, [](gpointer) { return saiu = false, gtk_main_quit(), G_SOURCE_REMOVE; }, nullptr);
    gtk_main();
    if (saiu)
      g_source_remove(limite);
  });
  return saiu;
}

// Closing asks only when there are unsaved changes; "no" keeps everything.
TEST_F(Janela, FecharComAlteracoesPergunta) {
  EXPECT_TRUE(fecha({}));
  poe("int mudado;\n");
  GtkWidget *fechar = gtk_button_new(); // as the window's close box
  g_signal_connect_swapped(fechar, "clicked", G_CALLBACK(gtk_window_close), olpa_janela);
  const std::string sair = "Deseja sair sem salvar as alterações?";
  clica(fechar, {mensagem("Confirmação", sair, GTK_RESPONSE_NO)});
  EXPECT_TRUE(gtk_widget_get_visible(olpa_janela));
  EXPECT_EQ(editor(), "int mudado;\n");
  EXPECT_TRUE(fecha({mensagem("Confirmação", sair, GTK_RESPONSE_YES)}));
}

// The real program: closed, it exits with the compiler probe's status.
TEST(Programa, FecharSaiComOStatusDaSonda) {
  const std::string procura =
      "xdotool search --sync --all --pid %d --name '^" + std::string(OLPA_TITULO) + "$'";
  const char *argv[] = {OLPA_BIN_DIR "/olpa", nullptr};
  GPid pid;
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD,
                            nullptr, nullptr, &pid, nullptr));
  gchar *janela = nullptr;
  ASSERT_TRUE(g_spawn_command_line_sync(
      ("timeout 20 " + std::string(OlpaTexto(g_strdup_printf(procura.c_str(), pid)).get())).c_str(),
      &janela, nullptr, nullptr, nullptr));
  OlpaTexto dono(janela);
  Display *d = gdk_x11_get_default_xdisplay();
  XEvent e{};
  e.xclient = {ClientMessage,
               0,
               False,
               d,
               strtoul(janela, nullptr, 10),
               XInternAtom(d, "WM_PROTOCOLS", False),
               32,
               {}};
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  g_usleep(300 * 1000);
  XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XFlush(d);
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) != pid; i++)
    g_usleep(50 * 1000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

} // namespace
