// SPDX-License-Identifier: GPL-3.0-or-later
// Completion of the learner functions: typing the start of one (or Ctrl+Space)
// offers each function of the table that begins so, with its parameters and
// its one-line description.
#include "olpa.h"
#include "olpa_funcoes.h"

#include <cstring>
#include <string>

namespace {

constexpr int MINIMO_INTERATIVO = 2; // letters typed before completion offers itself

struct OlpaCompletar {
  GObject pai;
};
struct OlpaCompletarClass {
  GObjectClass pai;
};

void interface_init(GtkSourceCompletionProviderIface *iface);

G_DEFINE_TYPE_WITH_CODE(OlpaCompletar, olpa_completar, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(GTK_SOURCE_TYPE_COMPLETION_PROVIDER, interface_init))

void olpa_completar_class_init(OlpaCompletarClass *) {}
void olpa_completar_init(OlpaCompletar *) {}

bool letra_de_nome(gunichar c) {
  return c == '_' || g_unichar_isalnum(c);
}

// The name being typed before the cursor.
std::string prefixo(GtkSourceCompletionContext *contexto) {
  GtkTextIter fim;
  if (!gtk_source_completion_context_get_iter(contexto, &fim))
    return {};
  GtkTextIter inicio = fim;
  while (gtk_text_iter_backward_char(&inicio))
    if (!letra_de_nome(gtk_text_iter_get_char(&inicio))) {
      gtk_text_iter_forward_char(&inicio);
      break;
    }
  OlpaTexto texto(gtk_text_iter_get_slice(&inicio, &fim));
  return texto.get();
}

// "void linha(int x1, int y1, int x2, int y2);" as "linha(int x1, int y1, int x2, int y2)".
std::string assinatura(const OlpaFuncao &f) {
  std::string s = f.prototipo;
  const size_t nome = s.find(std::string(f.nome) + "(");
  if (nome != std::string::npos)
    s = s.substr(nome);
  if (!s.empty() && s.back() == ';')
    s.pop_back();
  return s;
}

gchar *nome_do_provedor(GtkSourceCompletionProvider *) {
  return g_strdup("Funções do olpa");
}

void popula(GtkSourceCompletionProvider *provedor, GtkSourceCompletionContext *contexto) {
  const std::string digitado = prefixo(contexto);
  const bool pedido = gtk_source_completion_context_get_activation(contexto) ==
                      GTK_SOURCE_COMPLETION_ACTIVATION_USER_REQUESTED;
  GList *propostas = nullptr;
  if (pedido || static_cast<int>(digitado.size()) >= MINIMO_INTERATIVO)
    for (const OlpaFuncao &f : OLPA_FUNCOES) {
      if (strncmp(f.nome, digitado.c_str(), digitado.size()) != 0 || digitado == f.nome)
        continue;
      GtkSourceCompletionItem *item = gtk_source_completion_item_new();
      const std::string rotulo = assinatura(f);
      gtk_source_completion_item_set_label(item, rotulo.c_str());
      // The description under the parameters, without asking for details.
      OlpaTexto marcacao(
          g_markup_printf_escaped("%s\n<small>%s</small>", rotulo.c_str(), f.descricao));
      gtk_source_completion_item_set_markup(item, marcacao.get());
      gtk_source_completion_item_set_text(item, (std::string(f.nome) + "(").c_str());
      gtk_source_completion_item_set_info(item, f.descricao);
      propostas = g_list_prepend(propostas, item);
    }
  propostas = g_list_reverse(propostas);
  gtk_source_completion_context_add_proposals(contexto, provedor, propostas, TRUE);
  g_list_free_full(propostas, g_object_unref);
}

GtkSourceCompletionActivation ativacao(GtkSourceCompletionProvider *) {
  return static_cast<GtkSourceCompletionActivation>(
      GTK_SOURCE_COMPLETION_ACTIVATION_INTERACTIVE |
      GTK_SOURCE_COMPLETION_ACTIVATION_USER_REQUESTED);
}

void interface_init(GtkSourceCompletionProviderIface *iface) {
  iface->get_name = nome_do_provedor;
  iface->populate = popula;
  iface->get_activation = ativacao;
}

} // namespace

void olpa_completar_liga(GtkSourceView *editor) {
  GtkSourceCompletion *completar = gtk_source_view_get_completion(editor);
  GObject *provedor = G_OBJECT(g_object_new(olpa_completar_get_type(), nullptr));
  gtk_source_completion_add_provider(completar, GTK_SOURCE_COMPLETION_PROVIDER(provedor), nullptr);
  g_object_unref(provedor);
  // The description beside the list, without asking.
  g_object_set(completar, "show-headers", FALSE, nullptr);
}
