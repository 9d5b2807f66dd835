// SPDX-License-Identifier: GPL-3.0-or-later
// GTK's and GtkSourceView's own words in Portuguese whatever the machine's
// language (the window tests run under LANG=C.UTF-8): read as the widget tree
// holds them, in the dialogs and the completion popup.
#include "janela.h"

#include "olpa_idioma.h"

#include <clocale>
#include <set>

namespace {

// The texts of labels and buttons under `w`, hidden ones too.
std::set<std::string> textos(GtkWidget *w) {
  std::set<std::string> r;
  percorre(w, [&r](GtkWidget *x) {
    if (GTK_IS_LABEL(x))
      r.insert(gtk_label_get_label(GTK_LABEL(x)));
    else if (GTK_IS_BUTTON(x) && gtk_button_get_label(GTK_BUTTON(x)))
      r.insert(gtk_button_get_label(GTK_BUTTON(x)));
  });
  return r;
}

// Answers a dialog with `resposta` after keeping its texts in `guardados`.
Resposta guarda(std::set<std::string> *guardados, Resposta resposta) {
  return [=](GtkWidget *d, int vez) {
    *guardados = textos(d);
    return resposta(d, vez);
  };
}

// Every locale a machine may leave for messages; under "C" (and POSIX, its
// other name) gettext ignores LANGUAGE.
TEST(Idioma, QualquerLocaleDasMensagens) {
  const std::string antes = setlocale(LC_MESSAGES, nullptr), ctype = setlocale(LC_CTYPE, nullptr);
  for (const char *local : {"C", "POSIX", "C.UTF-8"}) {
    ASSERT_NE(setlocale(LC_MESSAGES, local), nullptr) << local;
    ASSERT_NE(setlocale(LC_CTYPE, local), nullptr) << local;
    g_unsetenv("LANGUAGE");
    olpa_idioma_portugues();
    EXPECT_STREQ(g_dgettext("gtk30", "_Cancel"), "_Cancelar") << local;
    EXPECT_STREQ(g_dgettext("gtksourceview-4", "_Details…"), "_Detalhes…") << local;
  }
  setlocale(LC_MESSAGES, antes.c_str());
  setlocale(LC_CTYPE, ctype.c_str());
}

TEST_F(Janela, DialogosDoGtkEmPortugues) {
  escreve_arquivo(em_exemplos("existe.olp"), "int x;\n");
  poe("int y;\n");
  std::set<std::string> seletor, substituir_sim, pergunta;
  std::string filtro;
  const Resposta sobre_existente = [&](GtkWidget *d, int vez) {
    filtro = gtk_file_filter_get_name(gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(d)));
    return salvar(exemplos, "meuprojeto.olp", em_exemplos("existe.olp"))(d, vez);
  };
  clica(olpa_bt_salvar,
        {guarda(&seletor, sobre_existente), guarda(&substituir_sim, substituir(false)),
         responde(GTK_RESPONSE_CANCEL)});
  EXPECT_EQ(filtro, "Arquivos do olpa (*.olp)");
  for (const char *t : {"_Nome:", "Outros locais", "Pasta pessoal", "Computador"})
    EXPECT_TRUE(seletor.count(t)) << t;
  for (const char *t : {"_Cancelar", "Substitui_r"})
    EXPECT_TRUE(substituir_sim.count(t)) << t;
  clica(olpa_bt_novo, {guarda(&pergunta, novo(GTK_RESPONSE_NO))});
  for (const char *t : {"_Sim", "_Não"})
    EXPECT_TRUE(pergunta.count(t)) << t;
  EXPECT_EQ(le_arquivo(em_exemplos("existe.olp")), "int x;\n");
}

TEST_F(Janela, CompletarEmPortugues) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, "int main(void) {\n  lin", -1);
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &fim);
  gdk_window_focus(gtk_widget_get_window(olpa_janela), GDK_CURRENT_TIME);
  gtk_widget_grab_focus(olpa_campo_codigo_formatado);
  aguarda(100);
  aperta(GDK_KEY_space, GDK_CONTROL_MASK);
  bool detalhes = false;
  for (int i = 0; i < 40 && !detalhes; i++) {
    aguarda(50);
    GList *janelas = gtk_window_list_toplevels();
    for (GList *l = janelas; l; l = l->next)
      detalhes |= textos(GTK_WIDGET(l->data)).count("_Detalhes…") > 0;
    g_list_free(janelas);
  }
  EXPECT_TRUE(detalhes);
  aperta(GDK_KEY_Escape);
}

} // namespace
