// SPDX-License-Identifier: GPL-3.0-or-later
// "Rodar" pressed in the window (its code, in this process) until the
// picture is on the screen: drawn by the widget and the X server synced. For
// a small program and generated ones of 1,000 and 100,000 lines, split by
// phase and set against the floor measured in the same run, interleaved:
// the same compile, relocation, drawing and PNG writing done in this process
// (no child), and its picture shown and drawn the same way.
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

// Until the window has painted a frame and the X server has drawn it.
void ate_a_tela() {
  static bool pintou;
  GdkFrameClock *relogio = gtk_widget_get_frame_clock(olpa_janela);
  pintou = false;
  const gulong id =
      g_signal_connect(relogio, "after-paint",
                       G_CALLBACK(+[](GdkFrameClock *, gpointer) { pintou = true; }), nullptr);
  while (!pintou)
    gtk_main_iteration();
  g_signal_handler_disconnect(relogio, id);
  gdk_display_sync(gdk_display_get_default());
}

// The floor without the runner at all: libtcc straight, the program's main
// called in this process (it draws with cairo and writes the PNG).
double piso_direto(const std::string &codigo) {
  const double t = agora_ms();
  TCCState *s = tcc_new();
  tcc_set_error_func(s, nullptr, [](void *, const char *) {}); // warnings are not the floor's
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

// The floor in the window: the run in this process, its picture copied into
// the view and drawn on the screen. Its parts go to `partes`: compile +
// link, inicia, PNG written, the picture set and drawn on screen.
double piso_na_tela(const std::string &codigo, std::vector<double> (&partes)[4]) {
  static unsigned char pixels[OLPA_TELA_BYTES] __attribute__((aligned(64)));
  static char caminho[OLPA_CAMINHO_MAX];
  gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
  deixa_ocioso();
  const double t = agora_ms();
  olpa_gfx_define_ultima_imagem(pixels, caminho);
  parser_executa_no_processo(codigo.c_str());
  olpa_gfx_define_ultima_imagem(nullptr, nullptr);
  const ParserTempos p = parser_tempos();
  const double mostra = agora_ms();
  olpa_vista_mostra(pixels);
  ate_a_tela();
  const double fim = agora_ms();
  for (const auto &[k, v] :
       {std::pair{0, p.compila + p.liga}, {1, p.abre}, {2, p.grava}, {3, fim - mostra}})
    partes[k].push_back(v);
  return fim - t;
}

struct Fase {
  const char *nome;
  std::vector<double> v;
};

void mede(const char *nome, const std::string &codigo, int repeticoes) {
  fprintf(figuras, "\n== %s (%zu bytes, %d repetitions) ==\n", nome, codigo.size(), repeticoes);
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, codigo.c_str(), -1);
  deixa_ocioso();

  Fase fases[] = {{"handler (console, copy of the text)", {}},
                  {"code handed to the child", {}},
                  {"compile + link", {}},
                  {"inicia (the canvas opened)", {}},
                  {"PNG encoded and written (+ copy kept)", {}},
                  {"the rest of main", {}},
                  {"confinement before main", {}},
                  {"child's exit -> its end seen", {}},
                  {"end shown (console, picture set)", {}},
                  {"widget drawn, X synced", {}},
                  {"waits between them", {}}};
  std::vector<double> partes_do_piso[4];
  std::vector<double> total, piso, direto, faltas, faltas_aquece, mostra;
  for (int i = 0; i < repeticoes; i++) {
    // The floor and the window in turn, in the same conditions.
    deixa_ocioso();
    g_usleep(50000);
    piso.push_back(piso_na_tela(codigo, partes_do_piso));
    direto.push_back(piso_direto(codigo));

    gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
    deixa_ocioso();
    g_usleep(50000); // a person takes longer than this between two presses
    deixa_ocioso();
    const double t = agora_ms();
    gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
    while (olpa_rodando())
      gtk_main_iteration();
    const double fim = agora_ms();
    ate_a_tela();
    const double tela = agora_ms();
    const ParserTempos p = parser_tempos();
    const std::string console = texto_do_console();
    if (console.size() < 16 || console.compare(console.size() - 16, 16, "[olpa] sucesso!\n") != 0 ||
        gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)) != GTK_IMAGE_SURFACE) {
      fprintf(stderr, "run %d did not succeed:\n%s\n", i, console.c_str());
      exit(1);
    }
    const double partes[] = {p.comeca_em - t,
                             p.enviado_em - p.comeca_em,
                             p.compila + p.liga,
                             p.abre,
                             p.grava,
                             p.programa - p.abre - p.grava,
                             p.confina,
                             p.fim_visto_em - p.saida_em,
                             fim - p.fim_visto_em,
                             tela - fim,
                             0};
    double soma = 0;
    for (size_t k = 0; k + 1 < std::size(fases); k++) {
      fases[k].v.push_back(partes[k]);
      soma += partes[k];
    }
    fases[std::size(fases) - 1].v.push_back(tela - t - soma);
    total.push_back(tela - t);
    faltas.push_back(static_cast<double>(p.faltas));
    faltas_aquece.push_back(static_cast<double>(p.faltas_aquece));
    // The picture set again, apart.
    const double tm = agora_ms();
    olpa_mostra_imagem(parser_ultimo_resultado().figura);
    mostra.push_back(agora_ms() - tm);
  }

  const double press = mediana(total), chao = mediana(piso);
  fprintf(figuras, "  press \"Rodar\" -> picture on screen: %8.2f ms (median, %s)\n", press,
          medidas::incerteza(total).c_str());
  for (const Fase &f : fases)
    fprintf(figuras, "    %-40s %8.2f ms\n", f.nome, mediana(f.v));
  fprintf(figuras, "    (phases are medians each: they need not add up to the total's)\n");
  fprintf(figuras, "    %-40s %8.2f ms\n", "picture set again (apart)", mediana(mostra));
  fprintf(figuras, "    %-40s %8.0f\n", "child page faults, code -> end", mediana(faltas));
  fprintf(figuras, "    %-40s %8.0f\n", "child page faults, idle warm-up", mediana(faltas_aquece));
  fprintf(figuras, "  floor: in-process run + picture on screen %8.2f ms (%s)   ratio %.2fx\n",
          chao, medidas::incerteza(piso).c_str(), press / chao);
  fprintf(figuras,
          "    of which: compile + link %.2f, inicia %.2f, PNG written %.2f, picture set + "
          "drawn + synced %.2f ms\n",
          mediana(partes_do_piso[0]), mediana(partes_do_piso[1]), mediana(partes_do_piso[2]),
          mediana(partes_do_piso[3]));
  fprintf(figuras, "  floor: bare libtcc + cairo + PNG          %8.2f ms   ratio %.2fx\n",
          mediana(direto), press / mediana(direto));
}

// One press, "Rodar" to picture on screen, with the bounds checks on or off: the child
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
  ate_a_tela();
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
  parser_prepara_zigoto(); // as the window's main does
  gtk_init(&argc, &argv);
  figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  deixa_ocioso();

  auto rep = [&](int n) { return std::max(1, static_cast<int>(n * escala_rep)); };
  mede("small program", medidas::PEQUENO, rep(60));
  mede("1,000-line program", medidas::programa(1000), rep(40));
  mede("100,000-line program", medidas::programa(100000), rep(9));
  fprintf(figuras, "\n== bounds checks: press \"Rodar\" -> picture on screen (medians) ==\n");
  mede_verificacoes("small program", medidas::PEQUENO, rep(30));
  mede_verificacoes("1,000-line program", medidas::programa(1000), rep(15));
  mede_verificacoes("100,000-line program", medidas::programa(100000), rep(5));
  mede_preludio();
  parser_encerra();
  return 0;
}
