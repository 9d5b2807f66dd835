// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command line: --ajuda and --versao, answered before any
// display is needed; every other argument goes to GTK (--display and the
// like). The manual page is made from this help text.
#include "olpa_opcoes.h"

#include <cstdio>
#include <cstring>

#ifndef OLPA_VERSAO
#error "OLPA_VERSAO must give the project's version, from CMake"
#endif

namespace {

const char AJUDA[] =
    "uso: olpa [OPÇÃO...]\n"
    "Abre a janela do olpa, um pequeno ambiente para aprender a programar em C desenhando: "
    "escreva um programa completo em C no editor, aperte Rodar (F5) e veja ao lado a figura "
    "de 640 × 480 pontos que ele desenhou. O console, embaixo do editor, mostra o andamento, "
    "os erros do compilador em português e o texto que o programa escreve. Embaixo da "
    "figura, a faixa dos passos mostra cada chamada de função do olpa que o programa fez, a "
    "tela depois dela e a linha que a fez; Pausar (F6) para o programa antes da próxima, e "
    "Passo (F7) anda uma de cada vez. F1 abre a ajuda, com todas as funções e os exemplos.\n"
    "\n"
    "O comando olpa instalado trabalha na pasta ~/olpa (ou na da variável OLPA_PASTA): "
    "exemplos/ tem os programas de exemplo (copiados na primeira vez) e os seus, telas/ as "
    "figuras que os programas gravam. Um programa sem salvar é guardado em "
    "~/.local/share/olpa/recuperacao e oferecido de novo se a janela fechar sem querer.\n"
    "\n"
    "Opções:\n"
    "  --ajuda, --help       mostra este texto e termina\n"
    "  --versao, --version   mostra a versão e termina\n"
    "  --display=TELA        abre a janela na tela TELA do X (opção do GTK)\n"
    "  --class=CLASSE        a classe da janela para o gerenciador de janelas (opção do GTK)\n"
    "  --name=NOME           o nome da janela para o gerenciador de janelas (opção do GTK)\n"
    "  --gtk-module=MÓDULOS  carrega outros módulos do GTK (opção do GTK)\n"
    "  --g-fatal-warnings    faz de todo aviso do GTK um erro fatal (opção do GTK)\n"
    "\n"
    "Veja também:\n"
    "  olpa-rodar(1), que roda programas do olpa sem abrir a janela e corrige os de uma "
    "turma.\n";

} // namespace

int olpa_opcoes(int argc, char **argv) {
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--ajuda") == 0 || strcmp(argv[i], "--help") == 0) {
      fputs(AJUDA, stdout);
      return 0;
    }
    if (strcmp(argv[i], "--versao") == 0 || strcmp(argv[i], "--version") == 0) {
      puts("olpa " OLPA_VERSAO);
      return 0;
    }
  }
  return -1;
}
