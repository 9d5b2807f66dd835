// The drawing library as learners' programs reach it: real programs run
// through the isolated runner, their pictures decoded and compared pixel by
// pixel with the same drawing made by direct cairo calls.
#include "apoio.h"
#include "olpa_funcoes.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Prototypes a learner would write: every learner function's, from its table.
std::string prototipos() {
  std::string p = "int printf(const char *, ...); int puts(const char *);\n";
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    p += std::string(f.prototipo) + "\n";
  return p;
}

constexpr uint32_t PRETO = 0xff000000u;
constexpr uint32_t BRANCO = 0xffffffffu;
constexpr uint32_t VERMELHO = 0xffff0000u;

std::string console;
void console_insere(const char *texto) {
  console += texto;
}
void console_substitui(const char *texto) {
  console = texto;
}

using Desenho = std::function<void(cairo_t *)>;

// The canvas as a fresh one starts: black painted with a filled rectangle,
// white pen; then `desenho` on top.
OlpaSurface referencia(const Desenho &desenho) {
  OlpaSurface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480));
  OlpaCairo cr(cairo_create(s.get()));
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 1.0);
  cairo_rectangle(cr.get(), 0, 0, 640, 480);
  cairo_fill(cr.get());
  cairo_set_source_rgba(cr.get(), 1.0, 1.0, 1.0, 1.0);
  if (desenho)
    desenho(cr.get());
  cairo_surface_flush(s.get());
  return s;
}

// Colour as the library computes it: 32-bit floats, value * 1 / scale.
void ref_cor(cairo_t *cr, int r, int g, int b, int a) {
  const float um = 1;
  const float red = r * um / 255.0f, green = g * um / 255.0f, blue = b * um / 255.0f;
  const float alpha = a * um / 100.0f;
  cairo_set_source_rgba(cr, red, green, blue, alpha);
}

void ref_linha(cairo_t *cr, int x1, int y1, int x2, int y2) {
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
  cairo_stroke(cr);
}

void ref_linha_ate(cairo_t *cr, int x, int y, int dx, int dy) {
  cairo_move_to(cr, x, y);
  cairo_rel_line_to(cr, dx, dy);
  cairo_stroke(cr);
}

double radianos(int graus) {
  return (graus * 3.141592653589793) / 180.0;
}

std::string programa(const std::string &corpo) {
  return prototipos() + "int main(void) {\n" + corpo + "\nreturn 0;\n}\n";
}

class Desenha : public ::testing::Test {
protected:
  void SetUp() override {
    console.clear();
    parser_define_saida(ParserSaida{console_insere, console_substitui, nullptr, nullptr});
    parser_define_tempo_limite(10);
    nulo = open("/dev/null", O_WRONLY | O_CLOEXEC);
    parser_define_trace(nulo);
    olpa_gfx_fecha_tela();
    olpa_gfx_defs();
  }
  void TearDown() override {
    olpa_gfx_fecha_tela();
    olpa_gfx_defs();
    parser_define_tempo_limite(10);
    parser_define_trace(STDOUT_FILENO);
    close(nulo);
  }

  // One press of "Rodar" with `corpo` as main's body; the console is kept
  // per run.
  int roda(const std::string &corpo) {
    console.clear();
    return parser_executa(programa(corpo).c_str());
  }

  std::string tela(const std::string &nome = "imagem.png") const { return raiz.telas + "/" + nome; }

  // The PNG equals the reference exactly; a diff picture stays in /tmp if not.
  void confere(const std::string &caso, const Desenho &desenho,
               const std::string &nome = "imagem.png") const {
    SCOPED_TRACE(caso);
    const OlpaSurface lida = le_png(tela(nome));
    ASSERT_TRUE(lida) << tela(nome) << " is missing or unreadable";
    const OlpaSurface ref = referencia(desenho);
    const std::string diff = "/tmp/teste_desenho-" + caso + "-diff.png";
    EXPECT_EQ(compara(lida.get(), ref.get(), diff), 0) << "differences marked in " << diff;
  }

  RaizTemporaria raiz;
  int nulo = -1;
};

// ------------------------------------------------------------ single runs vs references

struct Caso {
  const char *nome;
  const char *corpo;
  Desenho ref;
};

void PrintTo(const Caso &caso, std::ostream *os) {
  *os << caso.nome;
}

const Caso CASOS[] = {
    {"so_inicia_e_termina", "inicia(); termina();", nullptr},
    {"linha", "inicia(); linha(10, 20, 300, 400); linha(600, 30, 40, 470); termina();",
     [](cairo_t *cr) {
       ref_linha(cr, 10, 20, 300, 400);
       ref_linha(cr, 600, 30, 40, 470);
     }},
    // The pen stays put: both calls stroke the same segment, so it shows
    // twice as dense.
    {"linha_ate_nao_move_a_caneta",
     "inicia(); opacidade(50); linha_ate(100, 0); linha_ate(100, 0); termina();",
     [](cairo_t *cr) {
       ref_cor(cr, 255, 255, 255, 50);
       ref_linha_ate(cr, 320, 240, 100, 0);
       ref_linha_ate(cr, 320, 240, 100, 0);
     }},
    // The pen's additions wrap around in 32 bits.
    {"anda",
     "inicia(); anda(10, 10); linha_ate(0, 50); anda(-100, 3); linha_ate(-20, -30); "
     "anda_ate(2147483647, 100); anda(1, 0); anda(2147483647, 0); linha_ate(50, 50); "
     "termina();",
     [](cairo_t *cr) {
       ref_linha_ate(cr, 330, 250, 0, 50);
       ref_linha_ate(cr, 230, 253, -20, -30);
       ref_linha_ate(cr, -1, 100, 50, 50);
     }},
    {"anda_ate",
     "inicia(); anda_ate(50, 60); linha_ate(30, -20); anda_ate(600, 400); anda(5, 5);"
     " linha_ate(-200, 10); termina();",
     [](cairo_t *cr) {
       ref_linha_ate(cr, 50, 60, 30, -20);
       ref_linha_ate(cr, 605, 405, -200, 10);
     }},
    {"linha_move_a_caneta", "inicia(); linha(0, 0, 640, 480); linha_ate(-640, 0); termina();",
     [](cairo_t *cr) {
       ref_linha(cr, 0, 0, 640, 480);
       ref_linha_ate(cr, 640, 480, -640, 0);
     }},
    {"traco",
     "inicia(); traco(7); linha(20, 20, 600, 50); traco(1); linha(20, 100, 600, 130); "
     "traco(0); linha(20, 200, 600, 230); traco(15); linha(20, 300, 600, 330); termina();",
     [](cairo_t *cr) {
       cairo_set_line_width(cr, 7);
       ref_linha(cr, 20, 20, 600, 50);
       cairo_set_line_width(cr, 1);
       ref_linha(cr, 20, 100, 600, 130);
       cairo_set_line_width(cr, 0);
       ref_linha(cr, 20, 200, 600, 230);
       cairo_set_line_width(cr, 15);
       ref_linha(cr, 20, 300, 600, 330);
     }},
    {"origem",
     "inicia(); origem(320, 240); linha(0, 0, 100, 0); origem(-50, 30); "
     "linha(0, 0, 0, 100); termina();",
     [](cairo_t *cr) {
       cairo_translate(cr, 320, 240);
       ref_linha(cr, 0, 0, 100, 0);
       cairo_translate(cr, -50, 30);
       ref_linha(cr, 0, 0, 0, 100);
     }},
    {"escala",
     "inicia(); escala(2, 2); traco(3); linha(10, 10, 100, 50); escala(-1, 1); "
     "linha(-10, 100, -200, 120); termina();",
     [](cairo_t *cr) {
       cairo_scale(cr, 2, 2);
       cairo_set_line_width(cr, 3);
       ref_linha(cr, 10, 10, 100, 50);
       cairo_scale(cr, -1, 1);
       ref_linha(cr, -10, 100, -200, 120);
     }},
    // The last turn is 100000 full turns and 30 degrees: only the exact
    // (graus * pi) / 180 in double precision lands on the same pixels.
    {"rotaciona",
     "inicia(); rotaciona(90); linha(0, 0, 100, 0); origem(200, -300); "
     "rotaciona(-135); linha(0, 0, 150, 0); origem(-300, 0); "
     "rotaciona(36000030); linha(0, 0, 0, 400); termina();",
     [](cairo_t *cr) {
       cairo_rotate(cr, radianos(90));
       ref_linha(cr, 0, 0, 100, 0);
       cairo_translate(cr, 200, -300);
       cairo_rotate(cr, radianos(-135));
       ref_linha(cr, 0, 0, 150, 0);
       cairo_translate(cr, -300, 0);
       cairo_rotate(cr, radianos(36000030));
       ref_linha(cr, 0, 0, 0, 400);
     }},
    // Transformations compose in call order; the pen keeps the numbers given.
    {"composicao",
     "inicia(); origem(320, 240); rotaciona(30); escala(2, 1); linha(0, 0, 100, 0); "
     "rotaciona(-45); escala(-1, 3); origem(10, 10); linha(0, 0, 50, 50); anda_ate(5, 5); "
     "linha_ate(40, 0); termina();",
     [](cairo_t *cr) {
       cairo_translate(cr, 320, 240);
       cairo_rotate(cr, radianos(30));
       cairo_scale(cr, 2, 1);
       ref_linha(cr, 0, 0, 100, 0);
       cairo_rotate(cr, radianos(-45));
       cairo_scale(cr, -1, 3);
       cairo_translate(cr, 10, 10);
       ref_linha(cr, 0, 0, 50, 50);
       ref_linha_ate(cr, 5, 5, 40, 0);
     }},
    {"cor",
     "inicia(); traco(5); cor(255, 0, 0); linha(10, 10, 600, 10); cor(10, 200, 77); "
     "linha(10, 50, 600, 90); cor(0, 0, 0); linha(10, 90, 600, 50); termina();",
     [](cairo_t *cr) {
       cairo_set_line_width(cr, 5);
       ref_cor(cr, 255, 0, 0, 100);
       ref_linha(cr, 10, 10, 600, 10);
       ref_cor(cr, 10, 200, 77, 100);
       ref_linha(cr, 10, 50, 600, 90);
       ref_cor(cr, 0, 0, 0, 100);
       ref_linha(cr, 10, 90, 600, 50);
     }},
    {"cor_e_opacidade",
     "inicia(); traco(9); cor_e_opacidade(12, 34, 56, 78); linha(0, 0, 640, 480); "
     "cor_e_opacidade(200, 150, 100, 33); linha(0, 480, 640, 0); "
     "cor_e_opacidade(0, 0, 255, 0); linha(0, 240, 640, 240); termina();",
     [](cairo_t *cr) {
       cairo_set_line_width(cr, 9);
       ref_cor(cr, 12, 34, 56, 78);
       ref_linha(cr, 0, 0, 640, 480);
       ref_cor(cr, 200, 150, 100, 33);
       ref_linha(cr, 0, 480, 640, 0);
       ref_cor(cr, 0, 0, 255, 0);
       ref_linha(cr, 0, 240, 640, 240);
     }},
    {"opacidade",
     "inicia(); cor(0, 255, 0); opacidade(25); traco(20); linha(0, 100, 640, 300); "
     "linha(0, 300, 640, 100); opacidade(71); linha(320, 0, 320, 480); termina();",
     [](cairo_t *cr) {
       ref_cor(cr, 0, 255, 0, 25);
       cairo_set_line_width(cr, 20);
       ref_linha(cr, 0, 100, 640, 300);
       ref_linha(cr, 0, 300, 640, 100);
       ref_cor(cr, 0, 255, 0, 71);
       ref_linha(cr, 320, 0, 320, 480);
     }},
    // cairo clamps the source: 300 acts as 255 and -5 as 0.
    {"fora_da_faixa",
     "inicia(); traco(6); cor(300, -5, 128); opacidade(300); linha(0, 50, 640, 50); "
     "cor_e_opacidade(-5, 300, 999, 55); linha(0, 150, 640, 150); "
     "cor_e_opacidade(255, 255, 255, -5); linha(0, 250, 640, 250); termina();",
     [](cairo_t *cr) {
       cairo_set_line_width(cr, 6);
       ref_cor(cr, 255, 0, 128, 100);
       ref_linha(cr, 0, 50, 640, 50);
       ref_cor(cr, 0, 255, 255, 55);
       ref_linha(cr, 0, 150, 640, 150);
     }},
    // The one colour and opacity (of all 256 x 101) where computing in 32-bit
    // floats gives another pixel than in double precision: 0x7f, not 0x80.
    {"cor_em_float",
     "inicia(); cor_e_opacidade(250, 250, 250, 51); linha(0, 240, 640, 240); "
     "termina();",
     [](cairo_t *cr) {
       ref_cor(cr, 250, 250, 250, 51);
       ref_linha(cr, 0, 240, 640, 240);
     }},
    // A second inicia starts afresh: canvas, pen, colour, width, transformation.
    {"segundo_inicia",
     "inicia(); linha(0, 0, 640, 480); cor(255, 0, 0); traco(9); "
     "rotaciona(20); origem(5, 5); anda(5, 5); inicia(); linha_ate(50, 50); "
     "opacidade(100); linha_ate(-50, 50); termina();",
     [](cairo_t *cr) {
       ref_linha_ate(cr, 320, 240, 50, 50);
       ref_linha_ate(cr, 320, 240, -50, 50);
     }},
    // A singular scale leaves the context in error: nothing more is drawn,
    // not even after a scale that would undo it.
    {"escala_zero_congela",
     "inicia(); linha(0, 0, 100, 100); escala(0, 1); linha(0, 100, 100, 0); cor(255, 0, 0); "
     "traco(10); origem(5, 5); escala(1, 1); rotaciona(10); linha(0, 0, 640, 480); "
     "linha_ate(50, 0); termina();",
     [](cairo_t *cr) { ref_linha(cr, 0, 0, 100, 100); }},
};

class Casos : public Desenha, public ::testing::WithParamInterface<Caso> {};

TEST_P(Casos, DesenhaComoOCairoDireto) {
  const Caso &caso = GetParam();
  ASSERT_EQ(roda(caso.corpo), 1) << console;
  EXPECT_EQ(console, "");
  confere(caso.nome, caso.ref);
}

INSTANTIATE_TEST_SUITE_P(Desenho, Casos, ::testing::ValuesIn(CASOS),
                         [](const ::testing::TestParamInfo<Caso> &info) {
                           return std::string(info.param.nome);
                         });

// ------------------------------------------------------------ worked examples, chosen pixels

TEST_F(Desenha, DiagonalVermelhaDeQuatroPixels) {
  ASSERT_EQ(roda("inicia(); cor(255, 0, 0); traco(4); linha(0, 0, 640, 480); termina();"), 1);
  const OlpaSurface s = le_png(tela());
  ASSERT_TRUE(s);
  for (int x : {1, 100, 320, 600, 638})
    EXPECT_EQ(pixel(s.get(), x, x * 3 / 4), VERMELHO) << "x " << x;
  // 4 wide: pixels whose centre is 5 px off the line across it are untouched.
  for (int x : {100, 320, 600}) {
    EXPECT_EQ(pixel(s.get(), x, x * 3 / 4 + 7), PRETO) << "x " << x;
    EXPECT_EQ(pixel(s.get(), x, x * 3 / 4 - 7), PRETO) << "x " << x;
  }
  long avermelhados = 0;
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++)
      if (pixel(s.get(), x, y) != PRETO) {
        EXPECT_EQ(pixel(s.get(), x, y) & 0xff00ffffu, PRETO) << x << "," << y;
        avermelhados++;
      }
  // 800 px long and 4 wide, with antialiased borders.
  EXPECT_GT(avermelhados, 3000);
  EXPECT_LT(avermelhados, 4400);
}

TEST_F(Desenha, BrancoComOpacidade50FicaCinza) {
  ASSERT_EQ(roda("inicia(); opacidade(50); linha(0, 100, 640, 100); termina();"), 1);
  const OlpaSurface s = le_png(tela());
  ASSERT_TRUE(s);
  for (int y : {99, 100}) {
    const uint32_t p = pixel(s.get(), 320, y);
    EXPECT_EQ(p >> 24, 0xffu);
    EXPECT_EQ((p >> 16) & 0xff, p & 0xff);
    EXPECT_EQ((p >> 8) & 0xff, p & 0xff);
    EXPECT_NEAR(static_cast<int>(p & 0xff), 128, 1) << std::hex << p;
  }
  EXPECT_EQ(pixel(s.get(), 320, 98), PRETO);
  EXPECT_EQ(pixel(s.get(), 320, 101), PRETO);
}

TEST_F(Desenha, Rotaciona90DesceDoCanto) {
  ASSERT_EQ(roda("inicia(); rotaciona(90); linha(0, 0, 100, 0); termina();"), 1);
  const OlpaSurface s = le_png(tela());
  ASSERT_TRUE(s);
  EXPECT_EQ(pixel(s.get(), 0, 1), BRANCO);
  EXPECT_EQ(pixel(s.get(), 0, 50), BRANCO);
  EXPECT_EQ(pixel(s.get(), 0, 99), BRANCO);
  EXPECT_EQ(pixel(s.get(), 0, 101), PRETO);
  EXPECT_EQ(pixel(s.get(), 2, 50), PRETO);
  EXPECT_EQ(pixel(s.get(), 50, 0), PRETO);
  EXPECT_EQ(conta_diferentes_de(s.get(), PRETO), 100);
}

TEST_F(Desenha, EscalaDobraALargura) {
  ASSERT_EQ(roda("inicia(); escala(2, 2); traco(3); linha(10, 20, 100, 20); termina();"), 1);
  const OlpaSurface s = le_png(tela());
  ASSERT_TRUE(s);
  // y 20 * 2 = 40, width 3 * 2 = 6: rows 37 to 42, x from 20 to 200.
  for (int y = 37; y <= 42; y++)
    EXPECT_EQ(pixel(s.get(), 100, y), BRANCO) << "y " << y;
  EXPECT_EQ(pixel(s.get(), 100, 36), PRETO);
  EXPECT_EQ(pixel(s.get(), 100, 43), PRETO);
  EXPECT_EQ(pixel(s.get(), 20, 40), BRANCO);
  EXPECT_EQ(pixel(s.get(), 19, 40), PRETO);
  EXPECT_EQ(pixel(s.get(), 199, 40), BRANCO);
  EXPECT_EQ(pixel(s.get(), 200, 40), PRETO);
  EXPECT_EQ(conta_diferentes_de(s.get(), PRETO), 180 * 6);
}

// ------------------------------------------------------------ files written

TEST_F(Desenha, GravaTelaEDepoisTerminaSobrescreve) {
  ASSERT_EQ(roda("inicia(); linha(0, 10, 640, 10); grava_tela(\"y.png\"); linha(0, 20, 640, 20); "
                 "grava_tela(\"x.png\"); linha(0, 30, 640, 30); termina();"),
            1);
  confere(
      "grava_tela_y", [](cairo_t *cr) { ref_linha(cr, 0, 10, 640, 10); }, "y.png");
  confere(
      "grava_tela_x",
      [](cairo_t *cr) {
        for (int y : {10, 20, 30})
          ref_linha(cr, 0, y, 640, y);
      },
      "x.png");
  EXPECT_FALSE(existe(tela()));
  EXPECT_STREQ(olpa_arquivo_exportar, "../telas/x.png");
}

// 640 x 480 with 8-bit RGBA (the canvas's 32-bit ARGB), not interlaced.
TEST_F(Desenha, PngDe640Por480ComAlfa) {
  ASSERT_EQ(roda("inicia(); termina();"), 1);
  const std::string png = le_arquivo(tela());
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(png.substr(8, 8), std::string("\0\0\0\x0dIHDR", 8));
  EXPECT_EQ(png.substr(16, 13), std::string("\0\0\x02\x80\0\0\x01\xe0\x08\x06\0\0\0", 13));
}

// Trace lines name each export path set and each automatic save.
TEST_F(Desenha, LinhasDeTrace) {
  const std::string caminho = raiz.raiz + "/trace.txt";
  const int fd = open(caminho.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  parser_define_trace(fd);
  ASSERT_EQ(roda("inicia_arquivo(\"a.png\"); grava_tela(\"b.png\"); termina();"), 1);
  olpa_gfx_defs();
  ASSERT_EQ(roda("inicia(); grava_tela(\"c.png\"); termina(); inicia(); termina();"), 1);
  parser_define_trace(nulo);
  close(fd);
  EXPECT_EQ(le_arquivo(caminho), "[arq-n] ../telas/a.png\n[arq-n] ../telas/b.png\n"
                                 "[arq-n] ../telas/c.png\n[arq-s] ../telas/c.png\n"
                                 "[arq-s] ../telas/c.png\n");
}

TEST_F(Desenha, IniciaArquivoNaoGrava) {
  escreve_arquivo(tela("a.png"), "antigo");
  ASSERT_EQ(roda("inicia_arquivo(\"a.png\"); linha(0, 0, 640, 480); termina();"), 1);
  EXPECT_EQ(le_arquivo(tela("a.png")), "antigo");
  EXPECT_FALSE(existe(tela()));
  EXPECT_EQ(olpa_arquivo_gravamanual, 1);
}

TEST_F(Desenha, CaminhoEModoManualDuramAteOsPadroes) {
  ASSERT_EQ(roda("inicia(); grava_tela(\"x.png\"); linha(0, 0, 640, 480); termina();"), 1);
  ASSERT_EQ(roda("inicia(); termina();"), 1);
  confere("caminho_persiste", nullptr, "x.png");
  EXPECT_FALSE(existe(tela()));

  olpa_gfx_defs();
  ASSERT_EQ(roda("inicia(); termina();"), 1);
  confere("caminho_padrao", nullptr);

  ASSERT_EQ(remove(tela().c_str()), 0);
  ASSERT_EQ(roda("inicia_arquivo(\"m.png\"); termina();"), 1);
  ASSERT_EQ(roda("inicia(); linha(0, 0, 640, 480); termina();"), 1);
  ASSERT_EQ(roda("inicia(); grava_tela(\"g.png\"); termina();"), 1);
  // Manual mode: only grava_tela writes, and termina leaves g.png as it was.
  EXPECT_FALSE(existe(tela()));
  EXPECT_FALSE(existe(tela("m.png")));
  confere("grava_tela_no_modo_manual", nullptr, "g.png");

  olpa_gfx_defs();
  ASSERT_EQ(roda("inicia(); linha(0, 0, 640, 480); termina();"), 1);
  confere("automatico_de_novo", [](cairo_t *cr) { ref_linha(cr, 0, 0, 640, 480); });
}

// ------------------------------------------------------------ state across runs

// Everything a canvas holds goes on into the next run: drawing,
// transformation, line width, source colour, stored colour and pen.
TEST_F(Desenha, TelaAbertaContinuaNaProximaExecucao) {
  ASSERT_EQ(roda("inicia(); origem(100, 50); rotaciona(30); traco(5); "
                 "cor_e_opacidade(255, 128, 0, 60); linha(0, 0, 200, 0); anda_ate(10, 20);"),
            1);
  EXPECT_FALSE(existe(tela()));
  ASSERT_EQ(roda("linha_ate(50, 80); escala(1, 2); cor(0, 255, 255); linha(0, 0, 0, 100);"), 1);
  ASSERT_EQ(roda("linha_ate(-30, 0); termina();"), 1);
  confere("tela_entre_execucoes", [](cairo_t *cr) {
    cairo_translate(cr, 100, 50);
    cairo_rotate(cr, radianos(30));
    cairo_set_line_width(cr, 5);
    ref_cor(cr, 255, 128, 0, 60);
    ref_linha(cr, 0, 0, 200, 0);
    ref_linha_ate(cr, 10, 20, 50, 80);
    cairo_scale(cr, 1, 2);
    ref_cor(cr, 0, 255, 255, 60);
    ref_linha(cr, 0, 0, 0, 100);
    ref_linha_ate(cr, 0, 100, -30, 0);
  });
}

TEST_F(Desenha, TelaComErroContinuaComErro) {
  ASSERT_EQ(roda("inicia(); linha(0, 0, 640, 480); escala(0, 1);"), 1);
  ASSERT_EQ(roda("origem(1, 1); linha(0, 480, 640, 0); termina();"), 1);
  confere("erro_entre_execucoes", [](cairo_t *cr) { ref_linha(cr, 0, 0, 640, 480); });
}

TEST_F(Desenha, CanetaSobreviveATermina) {
  ASSERT_EQ(roda("inicia(); cor_e_opacidade(1, 2, 3, 4); anda_ate(100, 200); termina();"), 1);
  ASSERT_EQ(roda("anda(7, -9); cor(5, 6, 7);"), 1);
  EXPECT_EQ(olpa_x, 107);
  EXPECT_EQ(olpa_y, 191);
  EXPECT_EQ(olpa_r, 5);
  EXPECT_EQ(olpa_b, 7);
  EXPECT_EQ(olpa_alpha, 4);
}

// A program that does not compile never ran: the open canvas stays as it was.
TEST_F(Desenha, ErroDeCompilacaoNaoFechaATela) {
  ASSERT_EQ(roda("inicia(); traco(6); linha(0, 0, 640, 480);"), 1);
  EXPECT_EQ(roda("linha(0, 480, 640, 0) termina();"), 0);
  EXPECT_EQ(console.rfind("[erro] linha ", 0), 0u) << console;
  ASSERT_EQ(roda("linha(0, 240, 640, 240); termina();"), 1);
  confere("depois_do_erro_de_compilacao", [](cairo_t *cr) {
    cairo_set_line_width(cr, 6);
    ref_linha(cr, 0, 0, 640, 480);
    ref_linha(cr, 0, 240, 640, 240);
  });
}

// A run stopped from outside (crash, time limit) leaves the canvas closed,
// even one opened by an earlier run, and the next run starts clean.
struct Parada {
  const char *nome;
  double limite;
  const char *corpo;
  const char *console;
};

void PrintTo(const Parada &p, std::ostream *os) {
  *os << p.nome;
}

const Parada PARADAS[] = {
    {"queda", 10, "linha(0, 480, 640, 0); *(int *)0 = 1;", "[erro] o programa foi interrompido"},
    {"tempo", 0.5, "linha(0, 480, 640, 0); for (;;) {}",
     "[erro] o programa passou do tempo limite"},
};

class Paradas : public Desenha, public ::testing::WithParamInterface<Parada> {};

TEST_P(Paradas, FechamATela) {
  ASSERT_EQ(roda("inicia(); cor(255, 0, 0); linha(0, 0, 640, 480);"), 1);
  parser_define_tempo_limite(GetParam().limite);
  EXPECT_EQ(roda(GetParam().corpo), 0);
  EXPECT_EQ(console.rfind(GetParam().console, 0), 0u) << console;
  parser_define_tempo_limite(10);
  ASSERT_EQ(roda("termina();"), 1);
  EXPECT_FALSE(existe(tela()));
  ASSERT_EQ(roda("inicia(); linha(0, 240, 640, 240); termina();"), 1);
  confere(std::string("depois_") + GetParam().nome,
          [](cairo_t *cr) { ref_linha(cr, 0, 240, 640, 240); });
}

INSTANTIATE_TEST_SUITE_P(Desenho, Paradas, ::testing::ValuesIn(PARADAS),
                         [](const ::testing::TestParamInfo<Parada> &info) {
                           return std::string(info.param.nome);
                         });

// ------------------------------------------------------------ faults

TEST_F(Desenha, SemTelaNadaAcontece) {
  ASSERT_EQ(roda("linha(0, 0, 640, 480); linha_ate(5, 5); anda(1, 1); anda_ate(2, 2); traco(3);"
                 " origem(4, 4); escala(0, 0); rotaciona(45); cor(1, 2, 3); "
                 "cor_e_opacidade(1, 2, 3, 4); opacidade(5); grava_tela(\"g.png\"); termina(); "
                 "inicia(); termina(); linha(0, 0, 640, 480); escala(2, 2); grava_tela(\"h.png\");"
                 " termina(); escreve_console(\"vivo\\n\");"),
            1);
  EXPECT_EQ(console, "vivo\n");
  EXPECT_FALSE(existe(tela("h.png")));
  EXPECT_FALSE(existe(tela("imagem.png")));
  // The one canvas of the run was black when written to g.png.
  confere("sem_tela", nullptr, "g.png");
}

TEST_F(Desenha, NomeNuloNaoMudaNada) {
  // A picture that was not written fails the run.
  ASSERT_EQ(roda("grava_tela(0); inicia(); linha(0, 0, 640, 480); grava_tela(0); "
                 "inicia_arquivo(0); termina();"),
            0);
  EXPECT_EQ(console, "[erro] grava_tela: o nome do arquivo está vazio (NULL).\n"
                     "[erro] grava_tela: o nome do arquivo está vazio (NULL).\n"
                     "[erro] inicia_arquivo: o nome do arquivo está vazio (NULL).\n");
  // inicia_arquivo(0) neither switched to manual saving nor started afresh.
  confere("nome_nulo", [](cairo_t *cr) { ref_linha(cr, 0, 0, 640, 480); });
}

TEST_F(Desenha, NomeLongoDemaisNaoMudaNada) {
  const std::string cabe(246, 'c'), demais(247, 'd');
  ASSERT_EQ(roda("inicia(); grava_tela(\"" + demais + "\"); inicia_arquivo(\"" + demais +
                 "\"); linha(0, 0, 640, 480); termina();"),
            0);
  EXPECT_EQ(console,
            "[erro] grava_tela: nome de arquivo longo demais (no máximo 246 caracteres).\n"
            "[erro] inicia_arquivo: nome de arquivo longo demais (no máximo 246 caracteres).\n");
  EXPECT_FALSE(existe(tela(demais)));
  EXPECT_EQ(olpa_arquivo_gravamanual, 0);
  confere("nome_longo", [](cairo_t *cr) { ref_linha(cr, 0, 0, 640, 480); });

  ASSERT_EQ(roda("inicia(); grava_tela(\"" + cabe + "\"); linha(0, 0, 640, 480); termina();"), 1);
  EXPECT_EQ(console, "");
  EXPECT_EQ(std::string(olpa_arquivo_exportar), "../telas/" + cabe);
  confere(
      "nome_no_limite", [](cairo_t *cr) { ref_linha(cr, 0, 0, 640, 480); }, cabe);
}

// The export path goes back to the window after the run: a name that is
// not UTF-8 is refused like the other names that cannot be used.
TEST_F(Desenha, NomeQueNaoEUtf8NaoMudaNada) {
  ASSERT_EQ(roda("inicia(); grava_tela(\"x\\xe1.png\"); inicia_arquivo(\"\\xff\"); "
                 "linha(0, 0, 640, 480); termina();"),
            0);
  EXPECT_EQ(console, "[erro] grava_tela: o nome do arquivo não é um texto UTF-8 válido.\n"
                     "[erro] inicia_arquivo: o nome do arquivo não é um texto UTF-8 válido.\n");
  EXPECT_FALSE(existe(tela("x\xe1.png")));
  confere("nome_nao_utf8", [](cairo_t *cr) { ref_linha(cr, 0, 0, 640, 480); });
}

TEST_F(Desenha, PngQueNaoPodeSerGravadoAvisaNoConsole) {
  ASSERT_EQ(system(("rm -rf '" + raiz.telas + "'").c_str()), 0);
  ASSERT_EQ(roda("inicia(); grava_tela(\"x.png\"); termina(); escreve_console(\"fim\\n\");"), 0);
  EXPECT_EQ(console, "[erro] não foi possível gravar a imagem \"../telas/x.png\": a pasta não "
                     "existe.\n"
                     "[erro] não foi possível gravar a imagem \"../telas/x.png\": a pasta não "
                     "existe.\n"
                     "fim\n");
}

// ------------------------------------------------------------ console text

struct TextoConsole {
  const char *nome;
  const char *corpo;
  const char *esperado;
};

const TextoConsole TEXTOS[] = {
    {"junta", "escreve_console(\"a\"); escreve_console(\"b\\n\");", "ab\n"},
    {"nulo", "escreve_console(\"a\"); escreve_console(0); escreve_console(\"b\");", "ab"},
    {"com_printf",
     "escreve_console(\"1\"); printf(\"2\"); escreve_console(\"3\\n\"); printf(\"%d\\n\", 4); "
     "puts(\"5\"); escreve_console(\"6\");",
     "123\n4\n5\n6"},
    {"acentos", "escreve_console(\"ação é só\\n\");", "ação é só\n"},
    // Invalid bytes still arrive, made valid UTF-8.
    {"utf8_invalido", "escreve_console(\"ol\\xe1 mundo\\n\");", "ol\xef\xbf\xbd mundo\n"},
    {"sprintf", "char t[32]; sprintf(t, \"%d-%s\", 42, \"x\"); escreve_console(t);", "42-x"},
};

void PrintTo(const TextoConsole &t, std::ostream *os) {
  *os << t.nome;
}

class Console : public Desenha, public ::testing::WithParamInterface<TextoConsole> {};

TEST_P(Console, TextoExato) {
  ASSERT_EQ(roda(GetParam().corpo), 1) << console;
  EXPECT_EQ(console, GetParam().esperado);
}

INSTANTIATE_TEST_SUITE_P(Desenho, Console, ::testing::ValuesIn(TEXTOS),
                         [](const ::testing::TestParamInfo<TextoConsole> &info) {
                           return std::string(info.param.nome);
                         });

TEST_F(Desenha, RetanguloNaoEOferecido) {
  EXPECT_EQ(parser_executa("void retangulo(int, int, int, int);\n"
                           "int main(void) { retangulo(1, 1, 5, 5); return 0; }\n"),
            0);
  EXPECT_EQ(console.rfind("[erro] linha ", 0), 0u) << console;
  EXPECT_NE(console.find("'retangulo' não existe"), std::string::npos) << console;
}

// ------------------------------------------------------------ PNG writer

// Raw 8-bit RGBA rows of a PNG, as stored (no premultiplication on reading).
std::vector<unsigned char> rgba(const std::string &caminho) {
  png_image imagem{};
  imagem.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&imagem, caminho.c_str()))
    return {};
  imagem.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(imagem));
  if (!png_image_finish_read(&imagem, nullptr, bytes.data(), 0, nullptr))
    return {};
  return bytes;
}

TEST_F(Desenha, NossoPngTemOsPixelsDoCairo) {
  OlpaSurface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480));
  OlpaCairo cr(cairo_create(s.get()));
  // Every alpha from left to right, colours changing from top to bottom,
  // then translucent strokes over it.
  for (int faixa = 0; faixa < 8; faixa++) {
    cairo_pattern_t *g = cairo_pattern_create_linear(0, 0, 640, 0);
    cairo_pattern_add_color_stop_rgba(g, 0, faixa & 1, (faixa >> 1) & 1, 0.3, 0);
    cairo_pattern_add_color_stop_rgba(g, 1, (faixa >> 2) & 1, 0.7, faixa / 7.0, 1);
    cairo_set_source(cr.get(), g);
    cairo_rectangle(cr.get(), 0, faixa * 40, 640, 40);
    cairo_fill(cr.get());
    cairo_pattern_destroy(g);
  }
  cairo_set_line_width(cr.get(), 13);
  for (int i = 0; i < 12; i++) {
    cairo_set_source_rgba(cr.get(), i / 11.0, 1 - i / 11.0, 0.5, 0.05 + i * 0.08);
    ref_linha(cr.get(), i * 50, 0, 640 - i * 30, 480);
  }
  cairo_surface_flush(s.get());

  char motivo[256] = "";
  ASSERT_TRUE(olpa_gfx_grava_png(s.get(), tela("nosso.png").c_str(), motivo, sizeof motivo))
      << motivo;
  ASSERT_EQ(cairo_surface_write_to_png(s.get(), tela("cairo.png").c_str()), CAIRO_STATUS_SUCCESS);
  const std::vector<unsigned char> nosso = rgba(tela("nosso.png")), dele = rgba(tela("cairo.png"));
  ASSERT_EQ(nosso.size(), 640u * 480u * 4u);
  EXPECT_TRUE(nosso == dele);
  long translucidos = 0;
  for (size_t i = 3; i < dele.size(); i += 4)
    translucidos += dele[i] > 0 && dele[i] < 255;
  EXPECT_GT(translucidos, 100000);

  // And the failure reason for a folder that is not there.
  EXPECT_FALSE(
      olpa_gfx_grava_png(s.get(), (raiz.raiz + "/nada/x.png").c_str(), motivo, sizeof motivo));
  EXPECT_STREQ(motivo, "a pasta não existe");
}

} // namespace
