// olpa: write a C program, press "Rodar", see its picture.
#include "olpa.h"
#include "olpaparser.h"

int main(int argc, char **argv) {
  gtk_init(&argc, &argv);
  olpa_UI(1020, 500, OLPA_TITULO);
  gtk_main();
  parser_encerra();
  return parser_inicia();
}
