// SPDX-License-Identifier: GPL-3.0-or-later
// olpa: write a C program, press "Rodar", see its picture.
#include "olpa.h"
#include "olpa_analise.h"
#include "olpa_idioma.h"
#include "olpa_layout.h"
#include "olpaparser.h"

#include <cstdlib>

int main(int argc, char **argv) {
  if (const int status = olpa_opcoes(argc, argv); status >= 0)
    return status;
  olpa_analise_prepara();  // before the zygote: its children are made with it
  parser_prepara_zigoto(); // before GTK makes this process big
  gtk_init(&argc, &argv);
  olpa_idioma_portugues(); // after gtk_init, which sets the locale its way
  // A shorter time limit, for the window's own tests.
  if (const char *limite = getenv("OLPA_TEMPO_LIMITE"))
    parser_define_tempo_limite(atof(limite));
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  olpa_recupera_liga();
  gtk_main();
  olpa_recupera_encerra(); // no changes, or the learner chose to leave them
  parser_encerra();
  analise_encerra(); // its temporary folder with it
  return parser_inicia();
}
