// What a teacher does with a class report in a real browser, checked from
// inside the page (navegador.cpp evaluates this with what the CSV says):
// every picture loads, nothing comes from the network, the summary and the
// cards count what the CSV counts, "igual" cards come closed, and the table
// sorts by a header's click and filters by verdict and by name, the cards
// following it. Returns the problems, one a line; empty when there are none.
(async function (esperado) {
  const falhas = [];
  const $$ = (s) => Array.from(document.querySelectorAll(s));
  if (document.readyState !== 'complete')
    await new Promise((pronto) => window.addEventListener('load', pronto));

  for (const img of $$('img'))
    if (!img.complete || img.naturalWidth !== 640 || img.naturalHeight !== 480)
      falhas.push('a figura não carregou: ' + img.getAttribute('src'));
  if ($$('img').length < 10)
    falhas.push('a página mostra poucas figuras');
  for (const r of performance.getEntriesByType('resource'))
    if (!r.name.startsWith('file:'))
      falhas.push('a página buscou algo fora do disco: ' + r.name);
  if (!document.title.startsWith('Relatório da turma: '))
    falhas.push('o título da página mudou: ' + document.title);

  // The counts.
  const linhas = $$('#indice tbody tr');
  if (linhas.length !== esperado.total)
    falhas.push(`a tabela tem ${linhas.length} linhas, o CSV ${esperado.total}`);
  for (const li of $$('[data-resumo]')) {
    const s = li.getAttribute('data-resumo');
    const n = esperado.contagem[s] || 0;
    if (Number(li.getAttribute('data-quantidade')) !== n || !li.textContent.startsWith(n + ' '))
      falhas.push(`o resumo diz "${li.textContent}", o CSV ${n} ${s}`);
    const fichas = $$(`#fichas details[data-situacao="${s}"]`);
    if (fichas.length !== n)
      falhas.push(`a página tem ${fichas.length} fichas ${s}, o CSV ${n}`);
    for (const f of fichas)
      if (f.open === (s === 'igual'))
        falhas.push(`a ficha ${f.id} (${s}) está ${f.open ? 'aberta' : 'fechada'}`);
  }

  const visiveis = () => linhas.filter((l) => !l.hidden).sort(
    (a, b) => a.compareDocumentPosition(b) & Node.DOCUMENT_POSITION_FOLLOWING ? -1 : 1);
  const nome = (l) => l.cells[1].querySelector('a').textContent;
  const seguem = (o) => {
    const fichas = $$('#fichas > details').filter((f) => !f.hidden).map((f) => f.id);
    const esperadas = visiveis().map((l) => 'a' + l.getAttribute('data-n'));
    if (fichas.join() !== esperadas.join())
      falhas.push(`as fichas não seguem a tabela (${o}): ${fichas.slice(0, 5)}…`);
  };
  const clica = (chave) => document.querySelector(`#indice th[data-chave="${chave}"] button`).click();
  const ordenada = (valores, compara, o) => {
    for (let i = 1; i < valores.length; i++)
      if (compara(valores[i - 1], valores[i]) > 0)
        return falhas.push(`a tabela não ficou em ordem (${o}): ${valores[i - 1]} antes de ${valores[i]}`);
  };
  const porNome = (a, b) => a.localeCompare(b, 'pt-BR', {numeric: true, sensitivity: 'base'});

  // Sorting, by a header's click; again, the other way.
  clica('nome');
  ordenada(visiveis().map(nome), porNome, 'nome');
  seguem('nome');
  clica('nome');
  ordenada(visiveis().map(nome), (a, b) => porNome(b, a), 'nome, ao contrário');
  clica('nota');
  ordenada(visiveis().map((l) => Number(l.getAttribute('data-nota'))), (a, b) => a - b, 'nota');
  seguem('nota');
  clica('s');
  ordenada(visiveis().map((l) => Number(l.getAttribute('data-s'))), (a, b) => a - b, 'situação');
  if (document.querySelector('#indice th[data-chave="s"]').getAttribute('aria-sort') !== 'ascending')
    falhas.push('o cabeçalho não diz por que a tabela está em ordem');

  // Filtering, by verdict and by a part of the name.
  const situacao = document.getElementById('filtro-situacao');
  const busca = document.getElementById('filtro-nome');
  const filtra = (s, texto) => {
    situacao.value = s;
    situacao.dispatchEvent(new Event('change'));
    busca.value = texto;
    busca.dispatchEvent(new Event('input'));
  };
  for (const s of Object.keys(esperado.contagem)) {
    filtra(s, '');
    const vistas = visiveis();
    if (vistas.length !== esperado.contagem[s] ||
        vistas.some((l) => l.getAttribute('data-situacao') !== s))
      falhas.push(`o filtro "${s}" mostra ${vistas.length} linhas`);
    seguem('filtro ' + s);
    const contagem = document.getElementById('contagem').textContent;
    if (!contagem.startsWith(vistas.length + ' '))
      falhas.push(`o filtro "${s}" diz "${contagem}"`);
  }
  const sem_acento = (t) => t.normalize('NFD').replace(/[\u0300-\u036f]/g, '').toLowerCase();
  for (const [texto, achados] of Object.entries(esperado.buscas)) {
    filtra('', texto);
    const vistas = visiveis().map(nome).sort(porNome);
    if (vistas.join('|') !== achados.slice().sort(porNome).join('|'))
      falhas.push(`a busca por "${texto}" mostra ${vistas.join(', ') || 'nada'}`);
    if (vistas.some((n) => !sem_acento(n).includes(sem_acento(texto))))
      falhas.push(`a busca por "${texto}" mostra quem não tem isso no nome`);
  }
  filtra('', '');
  if (visiveis().length !== esperado.total || $$('#fichas > details[hidden]').length)
    falhas.push('sem filtro, a página não mostra tudo de novo');
  return falhas.join('\n');
})
