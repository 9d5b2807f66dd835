// Many runs in a row through the window's own button, mixing pictures,
// compile errors, crashes and endless loops: after every run the console
// holds exactly what that run should leave, in the right look, and the image
// view holds exactly the right picture. OLPA_SOAK_EXECUCOES sets how many
// runs (300 by default; 1000 for a long soak).
#include "apoio.h"
#include "apoio_gui.h"
#include "olpa.h"
#include "olpaparser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Caso {
  const char *nome;
  const char *programa;
  const char *console; // the whole console text after the run
  bool erro;           // error look and start picture
};

const Caso CASOS[] = {
    {"faixa vermelha",
     "int main(void) { inicia(); cor(255, 0, 0); traco(40); linha(0, 240, 640, 240); "
     "escreve_console(\"faixa\\n\"); termina(); return 0; }",
     "[olpa] compilando\nfaixa\n[olpa] sucesso!\n", false},
    {"diagonal verde",
     "int main(void) { char t[32]; int i; inicia(); cor(0, 255, 0); traco(6);"
     " for (i = 0; i < 3; i++) linha(0, 0, 640, 480); sprintf(t, \"%d linhas\\n\", i);"
     " escreve_console(t); termina(); return 0; }",
     "[olpa] compilando\n3 linhas\n[olpa] sucesso!\n", false},
    {"erro de compilação", "int main(void) { inicia() termina(); return 0; }",
     "[olpa] compilando\n[erro] linha 1: esperava ';' antes de \"termina\"\n", true},
    {"ponteiro inválido", "int main(void) { int *p = (int *)16; inicia(); *p = 1; return 0; }",
     "[olpa] compilando\n[erro] o programa foi interrompido: acessou memória inválida (um "
     "ponteiro ou índice de vetor errado?).\n",
     true},
    {"laço sem fim", "int main(void) { inicia(); while (1) { } return 0; }",
     "[olpa] compilando\n[erro] o programa passou do tempo limite de 1 segundo e foi "
     "interrompido (um laço que nunca termina?).\n",
     true},
};
constexpr int N_CASOS = sizeof CASOS / sizeof *CASOS;
// Endless loops cost a whole time limit each: fewer of them.
constexpr int PESOS[N_CASOS] = {3, 3, 2, 2, 1};
constexpr int PESO_TOTAL = 11;

int escolhe(int sorteado) {
  for (int c = 0; c < N_CASOS; c++) {
    if (sorteado < PESOS[c])
      return c;
    sorteado -= PESOS[c];
  }
  return 0;
}

void deixa_ocioso() {
  while (olpa_rodando())
    gtk_main_iteration();
  while (gtk_events_pending())
    gtk_main_iteration_do(FALSE);
}

std::string console() {
  return texto_do_buffer(olpa_campo_console_buffer);
}

// 0xRRGGBB of the pixbuf at (x, y).
uint32_t rgb(GdkPixbuf *p, int x, int y) {
  const guchar *d =
      gdk_pixbuf_get_pixels(p) + y * gdk_pixbuf_get_rowstride(p) + x * gdk_pixbuf_get_n_channels(p);
  return static_cast<uint32_t>(d[0]) << 16 | static_cast<uint32_t>(d[1]) << 8 | d[2];
}

bool iguais(GdkPixbuf *a, GdkPixbuf *b) {
  if (!a || !b || gdk_pixbuf_get_width(a) != gdk_pixbuf_get_width(b) ||
      gdk_pixbuf_get_height(a) != gdk_pixbuf_get_height(b) ||
      gdk_pixbuf_get_n_channels(a) != gdk_pixbuf_get_n_channels(b))
    return false;
  const int linha = gdk_pixbuf_get_width(a) * gdk_pixbuf_get_n_channels(a);
  for (int y = 0; y < gdk_pixbuf_get_height(a); y++)
    if (memcmp(gdk_pixbuf_get_pixels(a) + y * gdk_pixbuf_get_rowstride(a),
               gdk_pixbuf_get_pixels(b) + y * gdk_pixbuf_get_rowstride(b), linha) != 0)
      return false;
  return true;
}

// What each picture must show at chosen points.
bool pixels_conferem(int caso, GdkPixbuf *p) {
  if (!p || gdk_pixbuf_get_width(p) != 640 || gdk_pixbuf_get_height(p) != 480)
    return false;
  if (caso == 0)
    return rgb(p, 320, 240) == 0xff0000 && rgb(p, 10, 225) == 0xff0000 &&
           rgb(p, 320, 100) == 0x000000 && rgb(p, 5, 475) == 0x000000;
  return rgb(p, 320, 240) == 0x00ff00 && rgb(p, 100, 75) == 0x00ff00 &&
         rgb(p, 320, 100) == 0x000000 && rgb(p, 600, 20) == 0x000000;
}

TEST(Soak, ExecucoesSeguidasDeixamSempreOMesmoConsoleEImagem) {
  const char *pedido = getenv("OLPA_SOAK_EXECUCOES");
  const int execucoes = pedido ? atoi(pedido) : 300;
  RaizTemporaria raiz;
  gtk_disable_setlocale(); // numbers in messages as the reference texts write them
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  // A title of its own: tests that look for the real window by its title
  // must not find this one.
  olpa_UI(1020, 500, "olpa (teste de resistência)");
  // Long enough that a loaded machine never stops a good program.
  parser_define_tempo_limite(1);
  deixa_ocioso();
  GdkPixbuf *inicial = gdk_pixbuf_new_from_file(OLPA_IMAGEM_INICIAL, nullptr);
  ASSERT_NE(inicial, nullptr);
  GdkPixbuf *referencia[2] = {nullptr, nullptr};

  int contagem[N_CASOS] = {};
  uint32_t sorteio = 12345;
  int erros = 0;
  for (int i = 0; i < execucoes && erros < 5; i++) {
    // Every case follows every other one, in a fixed pseudo-random order.
    sorteio = sorteio * 1103515245u + 12345u;
    const int c = escolhe(static_cast<int>((sorteio >> 16) % PESO_TOTAL));
    const Caso &caso = CASOS[c];
    contagem[c]++;
    gtk_text_buffer_set_text(olpa_campo_codigo_buffer, caso.programa, -1);
    gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
    deixa_ocioso();

    const std::string texto = console();
    GdkPixbuf *imagem = gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem));
    bool certo = texto == caso.console && olpa_console_em_erro() == caso.erro;
    if (caso.erro) {
      certo = certo && iguais(imagem, inicial);
    } else if (!referencia[c]) {
      certo = certo && pixels_conferem(c, imagem);
      if (certo)
        referencia[c] = gdk_pixbuf_copy(imagem);
    } else {
      certo = certo && iguais(imagem, referencia[c]);
    }
    if (!certo) {
      erros++;
      ADD_FAILURE() << "run " << i << " (" << caso.nome << "): console\n"
                    << texto << "expected\n"
                    << caso.console << "error look " << olpa_console_em_erro()
                    << ", picture right: "
                    << (caso.erro       ? iguais(imagem, inicial)
                        : referencia[c] ? iguais(imagem, referencia[c])
                                        : pixels_conferem(c, imagem));
    }
  }
  for (int c = 0; c < N_CASOS; c++)
    EXPECT_GT(contagem[c], 0) << CASOS[c].nome;
  printf("%d runs:", execucoes);
  for (int c = 0; c < N_CASOS; c++)
    printf(" %d %s;", contagem[c], CASOS[c].nome);
  printf("\n");
  parser_encerra();
  for (GdkPixbuf *r : referencia)
    if (r)
      g_object_unref(r);
  g_object_unref(inicial);
}

} // namespace
