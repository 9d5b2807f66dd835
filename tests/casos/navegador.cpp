// SPDX-License-Identifier: GPL-3.0-or-later
// A class report's page opened in a real browser (headless chromium): it
// renders (the screenshot is not blank), no learner's text turned into
// markup, and the given texts show as they are; then, driven through the
// browser's DevTools protocol, what a teacher does with it (navegador.js):
// every picture loads, the counts are the CSV's, the table sorts and filters.
#include "suporte.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The rows of a CSV as RFC 4180 has them, with `separador` between fields;
// a byte-order mark before them is not part of the first field.
std::vector<std::vector<std::string>> le_csv(std::string texto, char separador) {
  if (texto.rfind("\xef\xbb\xbf", 0) == 0)
    texto.erase(0, 3);
  std::vector<std::vector<std::string>> linhas(1, std::vector<std::string>(1));
  bool citando = false;
  for (size_t i = 0; i < texto.size(); i++) {
    const char c = texto[i];
    std::string &campo = linhas.back().back();
    if (citando && c == '"' && i + 1 < texto.size() && texto[i + 1] == '"')
      campo += '"', i++;
    else if (c == '"')
      citando = !citando;
    else if (!citando && c == separador)
      linhas.back().emplace_back();
    else if (!citando && c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n')
      linhas.emplace_back(1), i++;
    else
      campo += c;
  }
  if (linhas.back().size() == 1 && linhas.back()[0].empty())
    linhas.pop_back();
  return linhas;
}

std::vector<std::string> partes(const std::string &texto, const char *separador) {
  gchar **v = g_strsplit(texto.c_str(), separador, -1);
  std::vector<std::string> saida(v, v + g_strv_length(v));
  g_strfreev(v);
  return saida;
}

// A text as a JSON string.
std::string json(const std::string &texto) {
  std::string s = "\"";
  for (const unsigned char c : texto)
    if (c == '"' || c == '\\')
      s += std::string("\\") + static_cast<char>(c);
    else if (c < 0x20)
      s += glib(g_strdup_printf("\\u%04x", c));
    else
      s += static_cast<char>(c);
  return s + "\"";
}

// The JSON string that starts at `p` (at its opening quote), as text.
std::string texto_json(const std::string &j, size_t p) {
  std::string s;
  for (p++; p < j.size() && j[p] != '"'; p++) {
    if (j[p] != '\\') {
      s += j[p];
      continue;
    }
    const char e = j[++p];
    if (e == 'u') {
      gunichar u = static_cast<gunichar>(strtoul(j.substr(p + 1, 4).c_str(), nullptr, 16));
      p += 4;
      if (u >= 0xd800 && u < 0xdc00 && j.compare(p + 1, 2, "\\u") == 0) {
        u = 0x10000 + ((u - 0xd800) << 10) +
            (static_cast<gunichar>(strtoul(j.substr(p + 3, 4).c_str(), nullptr, 16)) - 0xdc00);
        p += 6;
      }
      char utf8[8];
      s.append(utf8, static_cast<size_t>(g_unichar_to_utf8(u, utf8)));
    } else {
      s += e == 'n'   ? '\n'
           : e == 't' ? '\t'
           : e == 'r' ? '\r'
           : e == 'b' ? '\b'
           : e == 'f' ? '\f'
                      : e;
    }
  }
  return s;
}

std::string chromium() {
  return glib(g_find_program_in_path("chromium"));
}

const std::vector<std::string> OPCOES = {"--headless",
                                         "--no-sandbox",
                                         "--disable-gpu",
                                         "--disable-quic",
                                         "--no-first-run",
                                         "--disable-background-networking",
                                         "--disable-component-update",
                                         "--disable-sync"};

// Chromium doing `acao` on the page with a throw-away profile; its output.
bool instantaneo(const std::vector<std::string> &acao, const std::string &pagina,
                 std::string *saida) {
  const std::string programa = chromium(), limite = glib(g_find_program_in_path("timeout"));
  if (programa.empty() || limite.empty())
    return false;
  const std::string perfil = glib(g_dir_make_tmp("olpa-chromium-XXXXXX", nullptr));
  // A page that never finishes (a dialog a script opened, say) must not hang the test.
  std::vector<std::string> argv = {limite, "-k", "5", "120", programa};
  argv.insert(argv.end(), OPCOES.begin(), OPCOES.end());
  argv.push_back("--user-data-dir=" + perfil);
  argv.insert(argv.end(), acao.begin(), acao.end());
  argv.push_back("file://" + pagina);
  std::vector<char *> c;
  for (std::string &a : argv)
    c.push_back(a.data());
  c.push_back(nullptr);
  gchar *texto = nullptr;
  gint status = -1;
  const bool rodou = g_spawn_sync(nullptr, c.data(), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr,
                                  nullptr, &texto, nullptr, &status, nullptr);
  *saida = glib(texto);
  if (system(("rm -rf '" + perfil + "'").c_str()) != 0)
    fprintf(stderr, "could not remove %s\n", perfil.c_str());
  return rodou && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Chromium driven through its DevTools protocol on a pipe: messages in JSON,
// each ended by a NUL byte, commands on its descriptor 3, answers on its 4.
struct Controle {
  pid_t pid = -1;
  int envia = -1, recebe = -1, proximo = 1;
  std::string perfil, lido, sessao;
  gint64 prazo = g_get_monotonic_time() + 120 * G_USEC_PER_SEC;

  bool inicia() {
    int para[2], de[2];
    perfil = glib(g_dir_make_tmp("olpa-chromium-XXXXXX", nullptr));
    if (chromium().empty() || pipe2(para, O_CLOEXEC) != 0 || pipe2(de, O_CLOEXEC) != 0)
      return false;
    std::vector<std::string> argv = {chromium()};
    argv.insert(argv.end(), OPCOES.begin(), OPCOES.end());
    argv.insert(argv.end(), {"--remote-debugging-pipe", "--user-data-dir=" + perfil,
                             "--window-size=1280,1600", "about:blank"});
    pid = fork();
    if (pid == 0) {
      dup2(para[0], 3);
      dup2(de[1], 4);
      const int nulo = open("/dev/null", O_WRONLY);
      dup2(nulo, STDOUT_FILENO);
      dup2(nulo, STDERR_FILENO);
      std::vector<char *> c;
      for (std::string &a : argv)
        c.push_back(a.data());
      c.push_back(nullptr);
      execv(c[0], c.data());
      _exit(127);
    }
    close(para[0]);
    close(de[1]);
    envia = para[1];
    recebe = de[0];
    return pid > 0;
  }

  // One command; its answer (empty when none came in time).
  std::string comando(const std::string &metodo, const std::string &parametros) {
    const int id = proximo++;
    const std::string m = "{\"id\":" + std::to_string(id) +
                          (sessao.empty() ? "" : ",\"sessionId\":" + json(sessao)) +
                          ",\"method\":" + json(metodo) + ",\"params\":" + parametros + "}";
    if (write(envia, m.c_str(), m.size() + 1) != static_cast<ssize_t>(m.size() + 1))
      return "";
    const std::string inicio = "{\"id\":" + std::to_string(id) + ",";
    for (;;) {
      const size_t fim = lido.find('\0');
      if (fim != std::string::npos) {
        const std::string mensagem = lido.substr(0, fim);
        lido.erase(0, fim + 1);
        if (mensagem.rfind(inicio, 0) == 0)
          return mensagem;
        continue;
      }
      const gint64 falta = (prazo - g_get_monotonic_time()) / 1000;
      pollfd p{recebe, POLLIN, 0};
      if (falta <= 0 || poll(&p, 1, static_cast<int>(falta)) <= 0)
        return "";
      char bloco[65536];
      const ssize_t n = read(recebe, bloco, sizeof bloco);
      if (n <= 0)
        return "";
      lido.append(bloco, static_cast<size_t>(n));
    }
  }

  // The string value of field `campo` in an answer.
  static std::string campo(const std::string &resposta, const std::string &nome) {
    const size_t p = resposta.find("\"" + nome + "\":\"");
    return p == std::string::npos ? "" : texto_json(resposta, p + nome.size() + 3);
  }

  ~Controle() {
    // Closed as it asks to be, so that its own helper processes end with it;
    // killed when it does not within 10 seconds.
    if (pid > 0) {
      sessao.clear();
      prazo = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
      comando("Browser.close", "{}");
      int status = 0;
      while (waitpid(pid, &status, WNOHANG) == 0 && g_get_monotonic_time() < prazo)
        g_usleep(10000);
      if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
    if (envia >= 0)
      close(envia);
    if (recebe >= 0)
      close(recebe);
    if (!perfil.empty() && system(("rm -rf '" + perfil + "'").c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", perfil.c_str());
  }
};

// What the page does for a teacher (navegador.js), with what the CSV says.
std::vector<std::string> confere_uso(const std::string &pagina, const std::string &esperado) {
  Controle c;
  if (!c.inicia())
    return {"o chromium não pôde ser controlado"};
  const std::string alvo = Controle::campo(
      c.comando("Target.createTarget", "{\"url\":" + json("file://" + pagina) + "}"), "targetId");
  c.sessao = Controle::campo(
      c.comando("Target.attachToTarget", "{\"targetId\":" + json(alvo) + ",\"flatten\":true}"),
      "sessionId");
  if (alvo.empty() || c.sessao.empty())
    return {"o chromium não abriu a página para ser controlada"};
  // The target starts as a blank page: the report's is there once it has loaded.
  const std::string carregou =
      "{\"expression\":\"location.protocol === 'file:' && document.readyState === "
      "'complete'\",\"returnByValue\":true}";
  while (c.comando("Runtime.evaluate", carregou).find("\"value\":true") == std::string::npos)
    if (g_get_monotonic_time() > c.prazo)
      return {"a página não carregou no chromium em 2 minutos"};
    else
      g_usleep(20000);
  const std::string js =
      le_arquivo(OLPA_FONTE_DIR "/tests/casos/navegador.js") + "(" + esperado + ")";
  const std::string resposta =
      c.comando("Runtime.evaluate",
                "{\"expression\":" + json(js) + ",\"awaitPromise\":true,\"returnByValue\":true}");
  if (resposta.find("\"result\":{\"result\":{\"type\":\"string\"") == std::string::npos)
    return {"a verificação na página falhou: " + resposta.substr(0, 400)};
  std::vector<std::string> falhas;
  const std::string texto = Controle::campo(resposta, "value");
  for (const std::string &l : partes(texto, "\n"))
    if (!l.empty())
      falhas.push_back(l);
  return falhas;
}

// What the CSV beside the page says, as navegador.js takes it.
std::string esperado_do_csv(const std::string &csv, const std::vector<std::string> &buscas) {
  const bool brasileiro = csv.rfind("\xef\xbb\xbf", 0) == 0;
  const auto linhas = le_csv(csv, brasileiro ? ';' : ',');
  static const std::map<std::string, std::string> PALAVRAS = {{"sem figura", "sem_figura"},
                                                              {"nada desenhado", "nada_desenhado"}};
  std::map<std::string, int> contagem;
  const size_t coluna = brasileiro ? 2 : 1;
  for (size_t i = 1; i < linhas.size(); i++) {
    const std::string s = linhas[i].size() > coluna ? linhas[i][coluna] : "?";
    contagem[PALAVRAS.count(s) ? PALAVRAS.at(s) : s]++;
  }
  std::string j = "{\"total\":" + std::to_string(linhas.size() - 1) + ",\"contagem\":{";
  for (const auto &[s, n] : contagem)
    j += (j.back() == '{' ? "" : ",") + json(s) + ":" + std::to_string(n);
  j += "},\"buscas\":{";
  // "TEXTO => NOME|NOME": typing TEXTO shows those names.
  for (const std::string &b : buscas) {
    const size_t seta = b.find(" => ");
    std::string nomes;
    for (const std::string &n : partes(b.substr(seta + 4), "|"))
      nomes += (nomes.empty() ? "" : ",") + json(n);
    j += (j.back() == '{' ? "" : ",") + json(b.substr(0, seta)) + ":[" + nomes + "]";
  }
  return j + "}}";
}

// Every value of `atributo="..."` in the page, in order.
std::vector<std::string> atributos(const std::string &html, const std::string &atributo) {
  std::vector<std::string> valores;
  const std::string inicio = " " + atributo + "=\"";
  for (size_t p = html.find(inicio); p != std::string::npos; p = html.find(inicio, p + 1)) {
    const size_t a = p + inicio.size();
    valores.push_back(html.substr(a, html.find('"', a) - a));
  }
  return valores;
}

} // namespace

std::vector<std::string> confere_navegador(const std::string &relativa,
                                           const std::vector<std::string> &textos,
                                           const std::vector<std::string> &buscas) {
  std::vector<std::string> falhas;
  const std::string pagina = glib(g_canonicalize_filename(relativa.c_str(), nullptr));
  const std::string pasta = glib(g_path_get_dirname(pagina.c_str()));
  // One start of the browser gives both the page as it was built and its picture.
  const std::string tela = pasta + "/tela_do_navegador.png";
  std::string dom;
  if (!instantaneo({"--dump-dom", "--screenshot=" + tela, "--window-size=1280,1600"}, pagina,
                   &dom) ||
      dom.find("</html>") == std::string::npos)
    return {"o chromium não abriu " + relativa + " em 2 minutos (está instalado?)"};

  // Every picture and link it refers to is a file beside it.
  std::vector<std::string> enderecos = atributos(dom, "src");
  for (const std::string &h : atributos(dom, "href"))
    if (h.empty() || h[0] != '#')
      enderecos.push_back(h);
  for (const std::string &e : enderecos) {
    const std::string caminho = glib(g_uri_unescape_string(e.c_str(), nullptr));
    if (caminho.empty() || !g_file_test((pasta + "/" + caminho).c_str(), G_FILE_TEST_IS_REGULAR))
      falhas.push_back("a página aponta para o que não existe: " + e);
  }
  // A learner's text is shown, never taken as markup: the page holds only the
  // elements the report writes, and its one script.
  static const std::set<std::string> ELEMENTOS = {
      "html",    "head",    "meta", "title",   "style", "body",   "header", "h1",
      "p",       "strong",  "ul",   "li",      "main",  "div",    "label",  "select",
      "option",  "input",   "span", "table",   "thead", "tbody",  "tr",     "th",
      "button",  "td",      "a",    "section", "h2",    "figure", "img",    "figcaption",
      "details", "summary", "pre",  "footer",  "script"};
  int scripts = 0;
  for (size_t p = dom.find('<'); p != std::string::npos; p = dom.find('<', p + 1)) {
    const size_t inicio = dom[p + 1] == '/' ? p + 2 : p + 1;
    if (inicio >= dom.size() || !g_ascii_isalpha(dom[inicio]))
      continue;
    const std::string nome = dom.substr(inicio, dom.find_first_of(" \t\n/>", inicio) - inicio);
    scripts += nome == "script" && inicio == p + 1;
    if (!ELEMENTOS.count(nome))
      falhas.push_back("a página tem um elemento que o relatório não escreve: <" +
                       nome.substr(0, 40));
  }
  if (scripts != 1)
    falhas.push_back("a página tem " + std::to_string(scripts) + " scripts, e não o seu só");
  // Texts it must show as they are (the browser writes <, > and & back as entities).
  for (const std::string &t : textos) {
    std::string escrito;
    for (const char c : t)
      escrito += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    if (dom.find(escrito) == std::string::npos)
      falhas.push_back("a página não mostra: " + t);
  }

  // It renders: the screenshot is a picture, not a blank page.
  Imagem im;
  if (!le_png(tela, &im))
    return falhas.push_back("o chromium não fotografou a página"), falhas;
  std::set<uint32_t> cores;
  for (size_t i = 0; i < im.pixels.size(); i += 7)
    cores.insert(im.pixels[i]);
  if (cores.size() < 20)
    falhas.push_back("a página aparece em branco (" + std::to_string(cores.size()) + " cores)");

  for (const std::string &f :
       confere_uso(pagina, esperado_do_csv(le_arquivo(pasta + "/relatorio.csv"), buscas)))
    falhas.push_back(f);
  return falhas;
}
