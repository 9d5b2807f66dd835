#!/usr/bin/env python3
"""A class report's CSV read as a spreadsheet set to Portuguese (Brazil) reads it.

The byte-order mark tells it the text is UTF-8; fields are separated by ';';
numbers are written with a decimal comma (and, if any, '.' between thousands);
a cell that starts with '=', '+', '-' or '@' would be run as a formula. Prints
each row as the spreadsheet holds it (numbers as numbers), how many files have
each verdict, and every problem found, for the case to compare.

planilha.py RELATORIO.CSV
"""
import csv
import io
import re
import sys
import unicodedata

NUMERICAS = {"nota", "diferença (%)", "faltando (%)", "sobrando (%)", "cor (%)",
             "pontos diferentes", "pontos do desenho", "mesmo código"}
NUMERO_BR = re.compile(r"\d{1,3}(\.\d{3})+(,\d+)?|\d+(,\d+)?")


def numero_br(texto):
    """A number as the Brazilian locale writes it, or None."""
    if not NUMERO_BR.fullmatch(texto):
        return None
    return float(texto.replace(".", "").replace(",", "."))


def invisivel(c):
    """A control character, or one that reorders or hides text."""
    return unicodedata.category(c) in ("Cc", "Cf", "Zl", "Zp")


def main():
    dados = open(sys.argv[1], "rb").read()
    problemas = []
    if not dados.startswith(b"\xef\xbb\xbf"):
        problemas.append("sem a marca de UTF-8 (BOM): a planilha leria os acentos errado")
    texto = dados.decode("utf-8-sig")
    linhas = list(csv.reader(io.StringIO(texto, newline=""), delimiter=";"))
    cabecalho = linhas[0]
    contagem = {}
    for n, linha in enumerate(linhas[1:], 2):
        if len(linha) != len(cabecalho):
            problemas.append(f"linha {n}: {len(linha)} colunas, o cabeçalho tem {len(cabecalho)}")
            continue
        celulas = dict(zip(cabecalho, linha))
        for nome, valor in celulas.items():
            if nome in NUMERICAS and valor != "" and numero_br(valor) is None:
                problemas.append(f"linha {n}, {nome}: {valor!r} não é um número brasileiro")
            elif nome not in NUMERICAS and valor[:1] in ("=", "+", "-", "@"):
                problemas.append(f"linha {n}, {nome}: {valor!r} seria uma fórmula")
            if any(invisivel(c) for c in valor):
                problemas.append(f"linha {n}, {nome}: {valor!r} tem um caractere invisível")
        situacao = celulas["situação"]
        contagem[situacao] = contagem.get(situacao, 0) + 1
        numeros = [f"{nome} {numero_br(celulas[nome])!r}" for nome in
                   ("nota", "diferença (%)") if celulas[nome]]
        extras = [f"{nome} {celulas[nome]}" for nome in ("tipo", "mesmo código") if celulas[nome]]
        print(" | ".join([celulas["nome"], situacao] + numeros + extras))
    print("; ".join(f"{n} {s}" for s, n in sorted(contagem.items())))
    for p in problemas:
        print("PROBLEMA:", p)


main()
