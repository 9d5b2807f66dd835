// "Rodar" pressed in the real window until its picture is set, for a small
// program and generated ones of 1,000 and 100,000 lines, split by phase and
// set against the floor: the same compile, relocation, drawing and PNG
// writing done directly in this process.
//
// Run under a display: xvfb-run -a bench_rodar [repetitions-scale]
#include "medidas.h"
#include "olpa.h"
#include "olpa_funcoes.h"
#include "olpa_layout.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <libtcc.h>

#include <cstring>

using medidas::agora_ms;
using medidas::mediana;

namespace {

FILE *figuras = stdout;

// Lets GTK finish what it queued (redraws, highlighting, the pre-fork of the
// next run's child), as it would between two presses of a person.
void deixa_ocioso() {
  for (int i = 0; i < 3; i++) {
    while (gtk_events_pending())
      gtk_main_iteration_do(FALSE);
    g_usleep(2000);
  }
}

std::string texto_do_console() {
  GtkTextIter a, b;
  gtk_text_buffer_get_bounds(olpa_campo_console_buffer, &a, &b);
  char *t = gtk_text_buffer_get_text(olpa_campo_console_buffer, &a, &b, FALSE);
  std::string s = t;
  g_free(t);
  return s;
}

struct Fases {
  std::vector<double> preparo, envio, compila, liga, programa, executa, resto, total;
};

void mostra_fase(const char *nome, const std::vector<double> &v) {
  fprintf(figuras, "    %-34s %9.2f ms\n", nome, mediana(v));
}

// The floor without the runner at all: libtcc straight, the program's main
// called in this process (it draws with cairo and writes the PNG).
double piso_direto(const std::string &codigo) {
  const double t = agora_ms();
  TCCState *s = tcc_new();
  tcc_set_output_type(s, TCC_OUTPUT_MEMORY);
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    tcc_add_symbol(s, f.nome, f.endereco);
  if (tcc_compile_string(s, codigo.c_str()) == -1) {
    fprintf(stderr, "the floor program did not compile\n");
    exit(1);
  }
  const int tamanho = tcc_relocate(s, nullptr);
  void *bloco = malloc(static_cast<size_t>(tamanho));
  tcc_relocate(s, bloco);
  auto principal = reinterpret_cast<int (*)()>(tcc_get_symbol(s, "main"));
  principal();
  tcc_delete(s);
  free(bloco);
  return agora_ms() - t;
}

// Writing the PNG alone: a canvas with one line, written as termina does.
double so_png() {
  inicia();
  linha(0, 0, 640, 480);
  char motivo[128];
  const double t = agora_ms();
  olpa_gfx_grava_png(olpa_tela.get(), "../telas/so_png.png", motivo, sizeof motivo);
  const double d = agora_ms() - t;
  olpa_gfx_fecha_tela();
  return d;
}

void mede(const char *nome, const std::string &codigo, int repeticoes, double meta) {
  fprintf(figuras, "\n== %s (%zu bytes, %d repetitions) ==\n", nome, codigo.size(), repeticoes);
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, codigo.c_str(), -1);
  deixa_ocioso();

  Fases f;
  std::vector<double> copia, carga, decodifica, textos, no_processo, direto, png, faltas;
  for (int i = 0; i < repeticoes; i++) {
    deixa_ocioso();
    g_usleep(50000); // a person takes longer than this between two presses
    const rusage antes = medidas::uso(RUSAGE_CHILDREN);
    const double t = agora_ms();
    gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
    while (olpa_rodando())
      gtk_main_iteration();
    const double total = agora_ms() - t;
    faltas.push_back(
        static_cast<double>(medidas::uso(RUSAGE_CHILDREN).ru_minflt - antes.ru_minflt));
    const ParserTempos p = parser_tempos();
    const std::string console = texto_do_console();
    if (console.size() < 16 || console.compare(console.size() - 16, 16, "[olpa] sucesso!\n") != 0 ||
        gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)) != GTK_IMAGE_PIXBUF) {
      fprintf(stderr, "run %d did not succeed:\n%s\n", i, console.c_str());
      exit(1);
    }
    f.preparo.push_back(p.preparo);
    f.envio.push_back(p.envio);
    f.compila.push_back(p.compila);
    f.liga.push_back(p.liga);
    f.programa.push_back(p.programa);
    f.executa.push_back(p.total);
    f.resto.push_back(total - p.total);
    f.total.push_back(total);

    // Parts of the remainder, measured apart.
    const double tc = agora_ms();
    olpa_copia_codigo();
    copia.push_back(agora_ms() - tc);
    // The picture shown again as the window shows it: from the pixels the run
    // handed back, as a fresh copy.
    const double ti = agora_ms();
    olpa_mostra_imagem(parser_vista()); // the run left its picture there
    carga.push_back(agora_ms() - ti);
    const double tf = agora_ms();
    gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), olpa_arquivo_exportar);
    decodifica.push_back(agora_ms() - tf);
    const double tt = agora_ms();
    gtk_text_buffer_set_text(olpa_campo_console_buffer, "[olpa] compilando\n", -1);
    gtk_text_buffer_insert_at_cursor(olpa_campo_console_buffer, "[olpa] sucesso!\n", -1);
    textos.push_back(agora_ms() - tt);

    // The floor, in this same process and run.
    parser_executa_no_processo(codigo.c_str());
    no_processo.push_back(parser_tempos().total);
    direto.push_back(piso_direto(codigo));
    png.push_back(so_png());
  }

  const double press = mediana(f.total);
  fprintf(figuras, "  press \"Rodar\" -> picture set: %9.2f ms (median)\n", press);
  mostra_fase("preparo (fork, 0 when pre-forked)", f.preparo);
  mostra_fase("envio (state + code to the child)", f.envio);
  mostra_fase("compila (tcc_compile_string)", f.compila);
  mostra_fase("liga (relocation)", f.liga);
  mostra_fase("programa (main, incl. PNG write)", f.programa);
  mostra_fase("parser_executa overall", f.executa);
  mostra_fase("remainder (text copy, console, image)", f.resto);
  mostra_fase("  of which: editor text copy", copia);
  mostra_fase("  of which: image shown (apart)", carga);
  mostra_fase("  (PNG decoded by GTK instead)", decodifica);
  mostra_fase("  of which: console texts (apart)", textos);
  mostra_fase("PNG write alone (measured apart)", png);
  fprintf(figuras, "    %-34s %9.0f\n", "page faults of the run's child*", mediana(faltas));
  fprintf(figuras, "    (* including its warm-up while idle)\n");
  const double piso = mediana(no_processo), bare = mediana(direto);
  fprintf(figuras, "  floor: parser_executa_no_processo     %9.2f ms   ratio press/floor %.2fx\n",
          piso, press / piso);
  fprintf(figuras, "  floor: bare libtcc + cairo + PNG      %9.2f ms   ratio press/bare  %.2fx\n",
          bare, press / bare);
  if (meta > 0)
    fprintf(figuras, "  goal < %.0f ms: %s\n", meta, press < meta ? "met" : "NOT met");
}

// One press, "Rodar" to picture, with the bounds checks on or off: the child
// forked afresh for the setting, while idle.
double uma_vez(bool verificar) {
  parser_define_verificacoes(verificar);
  parser_encerra();
  parser_prepara();
  deixa_ocioso();
  g_usleep(50000);
  const double t = agora_ms();
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
  while (olpa_rodando())
    gtk_main_iteration();
  return agora_ms() - t;
}

// What the run-time checks cost: presses with and without them, interleaved.
void mede_verificacoes(const char *nome, const std::string &codigo, int repeticoes) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, codigo.c_str(), -1);
  std::vector<double> com, sem;
  for (int i = 0; i < repeticoes; i++) {
    com.push_back(uma_vez(true));
    sem.push_back(uma_vez(false));
  }
  parser_define_verificacoes(true);
  fprintf(figuras, "  %-22s with checks %9.2f ms, without %9.2f ms: ratio %.2fx\n", nome,
          mediana(com), mediana(sem), mediana(com) / mediana(sem));
}

// What declaring the learner functions costs a compile: tcc alone, the small
// program with and without the prelude, interleaved.
void mede_preludio() {
  auto compila = [](const std::string &codigo) {
    const double t = agora_ms();
    TCCState *s = tcc_new();
    tcc_set_error_func(s, nullptr, [](void *, const char *) {});
    tcc_set_output_type(s, TCC_OUTPUT_MEMORY);
    tcc_compile_string(s, codigo.c_str());
    tcc_delete(s);
    return agora_ms() - t;
  };
  const std::string com_preludio =
      olpa_funcoes_declaracoes() + "#line 1\n" + std::string(medidas::PEQUENO);
  std::vector<double> com, sem;
  for (int i = 0; i < 200; i++) {
    com.push_back(compila(com_preludio));
    sem.push_back(compila(std::string(medidas::PEQUENO)));
  }
  fprintf(figuras, "\n== the prelude (learner functions declared, <stdio.h>) ==\n");
  fprintf(figuras, "  compile of the small program: %.3f ms with it, %.3f ms without: +%.3f ms\n",
          mediana(com), mediana(sem), mediana(com) - mediana(sem));
}

} // namespace

int main(int argc, char **argv) {
  const double escala_rep = argc > 1 ? atof(argv[1]) : 1.0;
  gtk_init(&argc, &argv);
  figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  deixa_ocioso();

  auto rep = [&](int n) { return std::max(1, static_cast<int>(n * escala_rep)); };
  mede("small program", medidas::PEQUENO, rep(60), 25);
  mede("1,000-line program", medidas::programa(1000), rep(30), 60);
  mede("100,000-line program", medidas::programa(100000), rep(3), 0);
  fprintf(figuras, "\n== bounds checks: press \"Rodar\" -> picture set (medians) ==\n");
  mede_verificacoes("small program", medidas::PEQUENO, rep(30));
  mede_verificacoes("1,000-line program", medidas::programa(1000), rep(15));
  mede_verificacoes("100,000-line program", medidas::programa(100000), rep(5));
  mede_preludio();
  parser_encerra();
  return 0;
}
