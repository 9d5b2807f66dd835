// olpa: write a C program, press "Rodar", see its picture.
#include "olpa.h"
#include "olpa_analise.h"
#include "olpa_layout.h"
#include "olpaparser.h"

#include <cstdlib>

int main(int argc, char **argv) {
  olpa_analise_prepara();  // before the zygote: its children are made with it
  parser_prepara_zigoto(); // before GTK makes this process big
  gtk_init(&argc, &argv);
  // A shorter time limit, for the window's own tests.
  if (const char *limite = getenv("OLPA_TEMPO_LIMITE"))
    parser_define_tempo_limite(atof(limite));
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  gtk_main();
  parser_encerra();
  analise_encerra(); // its temporary folder with it
  return parser_inicia();
}
