// SPDX-License-Identifier: GPL-3.0-or-later
// Code files at their edges, where a data case cannot go: files that change
// or are special at the moment they are picked, the size limit, a file that
// cannot be written, and the real program closed.
#include "janela.h"

#include "olpa_arquivos.h"
#include "olpaparser.h"

#include <vector>

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

TEST_F(Janela, ArquivosQueNaoSaoProgramasSaoRecusados) {
  const std::string grande = em_exemplos("grande.olp");
  escreve_arquivo(grande, std::string(PARSER_LIMITE_CODIGO + 1, 'a'));
  escreve_arquivo(em_exemplos("some.olp"), "int x;\n");
  poe("// meu programa\n");
  clica(ui->olpa_bt_abrir, {abrir(grande), SIM, INVALIDO});
  // Gone between the pick and the load.
  clica(ui->olpa_bt_abrir, {abrir(em_exemplos("some.olp"), true), SIM, INVALIDO});
  // A pipe must not block the load; a folder is no program either.
  ASSERT_EQ(mkfifo(em_exemplos("cano.olp").c_str(), 0644), 0);
  g_mkdir(em_exemplos("pasta.olp").c_str(), 0755);
  com_respostas({INVALIDO, INVALIDO}, [this] {
    for (const char *nome : {"cano.olp", "pasta.olp"})
      EXPECT_EQ(olpa_carrega_codigo(*olpa, em_exemplos(nome)), 0);
  });
  EXPECT_EQ(editor(), "// meu programa\n");
  EXPECT_EQ(olpa->sessao.olpa_arquivo_temnome, 0);
  // The runner's limit fits (short lines: a long line takes GTK seconds to
  // lay out); one byte more cannot be saved over it, so what is saved opens.
  std::string cabe;
  while (cabe.size() + 80 <= PARSER_LIMITE_CODIGO)
    cabe += "//" + std::string(77, 'x') + "\n";
  cabe += std::string(PARSER_LIMITE_CODIGO - cabe.size() - 1, 'x') + "\n";
  escreve_arquivo(grande, cabe);
  clica(ui->olpa_bt_abrir, {abrir(grande), SIM});
  EXPECT_EQ(editor(), cabe);
  GtkTextIter fim; // one byte more, typed at the end (not the whole text laid out again)
  gtk_text_buffer_get_end_iter(ui->olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_insert(ui->olpa_campo_codigo_buffer, &fim, "x", -1);
  clica(ui->olpa_bt_salvar, {salvar(exemplos, "grande.olp"), substituir(true),
                             aviso("O programa tem mais de 1 MiB e não poderia ser aberto de "
                                   "novo; o arquivo \"" +
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
          olpa->sessao.olpa_nome_arquivo = nome;
          EXPECT_FALSE(olpa_salvar_codigo(*olpa));
        });
  GStatBuf info;
  EXPECT_TRUE(g_stat(em_exemplos("cano.olp").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  EXPECT_TRUE(!com_dispositivo ||
              (g_stat(dispositivo.c_str(), &info) == 0 && S_ISCHR(info.st_mode)));
}

TEST_F(Janela, SalvarSemPoderGravarPreservaOArquivo) {
  // So long a name leaves no room for the temporary file written first.
  const std::string arquivo = em_exemplos(std::string(246, 'n') + ".olp");
  FILE *f = fopen(arquivo.c_str(), "w");
  fputs("// antiga\n", f);
  fclose(f);
  poe("// nova\n");
  clica(ui->olpa_bt_salvar,
        {salvar(exemplos, "meuprojeto.olp", arquivo), substituir(true),
         aviso("Não foi possível salvar o arquivo \"" + arquivo + "\": o nome é longo demais.")});
  EXPECT_EQ(le_arquivo(arquivo) + console(), "// antiga\n" + std::string(OLPA_CONSOLE_INICIAL));
  EXPECT_TRUE(olpa_codigo_modificado(*ui));
  // Through a link: into the file it points at, keeping link and permissions.
  const std::string real = em_exemplos("real.olp"), atalho = em_exemplos("atalho.olp");
  escreve_arquivo(real, "int r;\n");
  g_chmod(real.c_str(), 0640);
  ASSERT_EQ(symlink("real.olp", atalho.c_str()), 0);
  clica(ui->olpa_bt_abrir, {abrir(atalho), SIM});
  poe("int s;\n");
  clica(ui->olpa_bt_salvar, {salvar(exemplos, "atalho.olp"), substituir(true)});
  GStatBuf info;
  EXPECT_TRUE(g_file_test(atalho.c_str(), G_FILE_TEST_IS_SYMLINK));
  EXPECT_TRUE(g_stat(real.c_str(), &info) == 0 && (info.st_mode & 0777) == 0640);
  EXPECT_EQ(le_arquivo(real), "int s;\n");
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
  ASSERT_TRUE(g_spawn_command_line_sync(OlpaTexto(g_strdup_printf(procura.c_str(), pid)).get(),
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
  XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XFlush(d);
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

} // namespace
