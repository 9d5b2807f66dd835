// SPDX-License-Identifier: GPL-3.0-or-later
// A run while it lasts, where the data cases cannot look: "Parar" in the
// button's own place, and the console following its last line unless the
// learner scrolled up.
#include "janela.h"

#include "olpa_execucao.h"

#include <tuple>

namespace {

const char SEM_FIM[] = "int main(void) {\n"
                       "  int i = 0;\n"
                       "  inicia();\n"
                       "  for (;;)\n"
                       "    linha(i++ % 640, 0, 640 - i % 640, 480);\n"
                       "}\n";

// "Rodar" pressed with `codigo`, and the run under way as the learner sees it.
void comeca(const std::string &codigo) {
  poe(codigo);
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  ate([] {
    return olpa_rodando() &&
           gtk_button_get_label(GTK_BUTTON(ui->olpa_bt_executar)) == std::string("Parar");
  });
}

TEST_F(Janela, PararNoLugarDoRodar) {
  GtkAllocation antes, durante;
  gtk_widget_get_allocation(ui->olpa_bt_executar, &antes);
  comeca(SEM_FIM);
  quadro();
  gtk_widget_get_allocation(ui->olpa_bt_executar, &durante);
  EXPECT_EQ(std::make_tuple(antes.x, antes.y, antes.width, antes.height),
            std::make_tuple(durante.x, durante.y, durante.width, durante.height));
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  EXPECT_FALSE(olpa_rodando());
}

// The console keeps its last line in view while text comes, unless the
// learner scrolled up: then it stays where it was put.
TEST_F(Janela, ConsoleSegueOFimSeNinguemSubiu) {
  GtkAdjustment *r = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(ui->olpa_campo_console));
  const auto no_fim = [r] {
    return gtk_adjustment_get_value(r) + gtk_adjustment_get_page_size(r) >=
           gtk_adjustment_get_upper(r) - 1;
  };
  // A flood of long lines, wrapped as they come, and an error: its last
  // line in view, though the error look lays the text out anew.
  rodar("#include <stdio.h>\n"
        "int main(void) {\n"
        "  int i;\n"
        "  for (i = 0; i < 20000; i++)\n"
        "    printf(\"%d: uma linha comprida o bastante para quebrar em duas ou três\\n\", i);\n"
        "  *(volatile int *)0 = 1;\n"
        "}\n");
  EXPECT_TRUE(olpa_console_em_erro());
  ate(no_fim);
  // Lines that keep coming, until the learner has read what came while
  // scrolled up.
  comeca("#include <stdio.h>\n"
         "int main(void) {\n"
         "  int i;\n"
         "  for (i = 0;; i++) {\n"
         "    printf(\"linha %d\\n\", i);\n"
         "    espera(i < 30 ? 0 : 20);\n"
         "  }\n"
         "}\n");
  ate([] { return console().find("linha 30\n") != std::string::npos; });
  ate([&] { return no_fim() && gtk_adjustment_get_upper(r) > 300; });
  GdkEvent *subir = gdk_event_new(GDK_SCROLL);
  subir->scroll.window = GDK_WINDOW(g_object_ref(
      gtk_text_view_get_window(GTK_TEXT_VIEW(ui->olpa_campo_console), GTK_TEXT_WINDOW_TEXT)));
  subir->scroll.direction = GDK_SCROLL_UP;
  gdk_event_set_device(
      subir, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  for (int i = 0; i < 3; i++)
    gtk_main_do_event(subir);
  gdk_event_free(subir);
  ate([&] { return !no_fim(); });
  const double lido = gtk_adjustment_get_value(r);
  ate([] { return console().find("linha 60\n") != std::string::npos; });
  quadro();
  EXPECT_NEAR(gtk_adjustment_get_value(r), lido, 2);
  EXPECT_FALSE(no_fim());
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar)); // "Parar"
  EXPECT_FALSE(olpa_rodando());
}

} // namespace
