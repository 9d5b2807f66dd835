// SPDX-License-Identifier: GPL-3.0-or-later
// One learner's file graded from its run's outcome, in this process. The
// runner read the picture the program left (beneath that run's own telas,
// never through a link) into the outcome; the comparison runs on those
// pixels, and the report's pictures are written from them, once. The
// messages are olpa's own, never a line the program wrote.
#include "aluno.h"

#include "textos.h"

#include "olpa_registro.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A program that did not run left only the compiler's lines: the first error
// is what the learner must mend first.
std::string primeiro_erro(const ParserResultado &r) {
  for (const ParserLinha &l : r.linhas)
    if (l.tipo == ParserTipo::Erro)
      return parser_linha_texto(r, l);
  return "[erro] o programa não compilou.";
}

// A run stopped from outside ends with the runner's own line, after
// whatever the program wrote: olpa's last, never the program's.
std::string ultima_linha(const ParserResultado &r) {
  for (size_t i = r.linhas.size(); i-- > 0;)
    if (r.linhas[i].tipo != ParserTipo::Texto)
      return parser_linha_texto(r, r.linhas[i]);
  return {};
}

// Why a run that ended failed, when olpa said it in an "[erro]" line of its own.
std::string ultimo_erro(const ParserResultado &r) {
  for (size_t i = r.linhas.size(); i-- > 0;)
    if (r.linhas[i].tipo == ParserTipo::Erro)
      return parser_linha_texto(r, r.linhas[i]);
  return {};
}

// A canvas kept as a partial drawing only when it holds anything but the background.
const unsigned char *desenhado(const unsigned char *pixels) {
  return pixels && !compara_so_fundo(pixels, OpcoesComparacao{}) ? pixels : nullptr;
}

// The steps a report lists under a picture that differs: enough to follow
// what the program drew, not a flood in a class of thousands (olpa-rodar
// --passos lists them all).
constexpr uint32_t PASSOS_NO_RELATORIO = 300;

std::string passos(const OlpaRegistro &r) {
  const uint32_t n =
      static_cast<uint32_t>(std::min<size_t>(r.entradas.size(), PASSOS_NO_RELATORIO));
  std::string lista;
  for (uint32_t i = 0; i < n; i++)
    lista += olpa_registro_passo(r, i) + "\n";
  if (n < r.entradas.size())
    lista += "[… e mais " + texto_numero(static_cast<long>(r.entradas.size() - n)) +
             " passos, que olpa-rodar --passos mostra]\n";
  return texto_utf8(lista + olpa_registro_fim(r));
}

// What the pictures of one learner are worked in: one learner at a time.
std::vector<Marca> marcas(COMPARA_PONTOS);
Pixels diferencas(OLPA_TELA_BYTES);

// The learner's picture written, compared with the model's, and the picture
// of the differences written. A picture the same to the pixel as the model's,
// and one of no differences, are the files made once.
bool compara(Modelo *m, const unsigned char *figura, const std::string &destino,
             const std::string &destino_diferencas, Correcao *c, std::string *motivo) {
  c->comparada = true;
  const bool a_do_modelo = memcmp(figura, m->pixels.data(), OLPA_TELA_BYTES) == 0;
  if (a_do_modelo) {
    c->comparacao = m->propria;
    if (!figura_grava_igual(m->arquivo, m->png, destino, motivo))
      return false;
  } else {
    c->comparacao = compara_figuras(m->pixels.data(), figura, m->opcoes, marcas.data());
    if (!figura_grava(figura, destino, motivo))
      return false;
  }
  if (c->comparacao.diferentes() > 0) {
    compara_desenha_diferencas(m->pixels.data(), marcas.data(), m->cores, diferencas.data());
    return figura_grava(diferencas.data(), destino_diferencas, motivo);
  }
  if (m->arquivo_sem_diferencas.empty()) {
    if (!figura_grava_png(m->png_sem_diferencas, destino_diferencas, motivo))
      return false;
    m->arquivo_sem_diferencas = destino_diferencas;
    return true;
  }
  return figura_grava_igual(m->arquivo_sem_diferencas, m->png_sem_diferencas, destino_diferencas,
                            motivo);
}

} // namespace

void aluno_prepara_modelo(int deslocamento, Modelo *m) {
  m->opcoes.deslocamento = deslocamento;
  m->cores = compara_cores_das_marcas(m->pixels.data(), m->opcoes);
  m->png = figura_codifica(m->pixels.data());
  m->propria = compara_figuras(m->pixels.data(), m->pixels.data(), m->opcoes, marcas.data());
  std::fill(marcas.begin(), marcas.end(), Marca::Nenhuma);
  compara_desenha_diferencas(m->pixels.data(), marcas.data(), m->cores, diferencas.data());
  m->png_sem_diferencas = figura_codifica(diferencas.data());
}

Deixado aluno_deixado(const ParserResultado &r) {
  Deixado d;
  switch (r.fim) {
  case ParserFim::NaoRodou:
    d.achado = Achado::Erro;
    d.mensagem = primeiro_erro(r);
    return d;
  case ParserFim::Interrompido:
    d.achado = Achado::Interrompido;
    d.mensagem = ultima_linha(r);
    d.pixels = desenhado(r.pixels.empty() ? nullptr : r.pixels.data());
    return d;
  case ParserFim::Terminou:
    break;
  }
  if (r.figura_gravada && r.figura && r.figura_recusada.empty()) {
    d.achado = Achado::Figura;
    d.pixels = r.figura;
    return d;
  }
  // Without a picture of its own, the outcome's is the canvas, when drawn on.
  d.achado = Achado::SemFigura;
  d.pixels = desenhado(r.figura);
  if (r.figura_gravada) {
    d.mensagem = "a figura que o programa gravou não serve: " + r.figura_recusada + ".";
    return d;
  }
  const std::string por_que = r.sucesso ? "" : ultimo_erro(r);
  d.mensagem = !por_que.empty() ? por_que
               : r.sucesso      ? "o programa terminou sem gravar uma figura."
                                : "o programa terminou sem gravar uma figura: a gravação "
                                  "falhou (o console diz por quê).";
  return d;
}

void aluno_nao_rodou(const std::string &erro, Correcao *c) {
  c->situacao = Situacao::Interrompido;
  c->mensagem = "[erro] a correção deste arquivo falhou: " + texto_de_uma_linha(erro) + ".";
  c->comparada = c->parcial = false;
  c->figura.clear();
  c->diferenca.clear();
}

void aluno_corrige(const Turma &t, Modelo *m, const std::string &relatorio,
                   const ParserResultado &r, Correcao *c) {
  const Deixado d = aluno_deixado(r);
  c->mensagem = texto_utf8(d.mensagem);
  c->console = texto_utf8(r.texto);
  c->linhas = r.marcas_erro;
  c->comparada = c->parcial = false;
  c->comparacao = Comparacao{};
  c->passos.clear();
  const std::string figura = relatorio + "/" + c->figura;
  std::string motivo;
  bool gravou = true;
  switch (d.achado) {
  case Achado::Figura:
    gravou = compara(m, d.pixels, figura, relatorio + "/" + c->diferenca, c, &motivo);
    c->situacao = Situacao::Igual;
    situacao_julga(t.tolerancia, c);
    if (c->situacao == Situacao::Diferente && r.registro)
      c->passos = passos(*r.registro);
    break;
  case Achado::SemFigura:
  case Achado::Interrompido:
    c->situacao = d.achado == Achado::SemFigura ? Situacao::SemFigura : Situacao::Interrompido;
    c->parcial = d.pixels != nullptr;
    gravou = !d.pixels || figura_grava(d.pixels, figura, &motivo);
    break;
  case Achado::Erro:
    c->situacao = Situacao::Erro;
    break;
  }
  if (!gravou)
    return aluno_nao_rodou("não foi possível gravar as figuras: " + motivo, c);
  if (!c->parcial && d.achado != Achado::Figura)
    c->figura.clear();
  if (!c->comparada)
    c->diferenca.clear();
}
