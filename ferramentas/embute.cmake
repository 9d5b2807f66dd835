# SPDX-License-Identifier: GPL-3.0-or-later
# Writes SAIDA, a C++ source defining NOME as the bytes of ENTRADA (a data
# file the program carries inside itself, so that a run's child and a fresh
# run tree have it without looking for files).
file(READ ${ENTRADA} CONTEUDO)
string(FIND "${CONTEUDO}" ")olpa\"" ACHOU)
if(NOT ACHOU EQUAL -1)
  message(FATAL_ERROR "${ENTRADA} contém )olpa\", que fecharia o texto")
endif()
file(WRITE ${SAIDA}.novo "// Made by embute.cmake from ${ENTRADA}: edit that file.\nextern const char ${NOME}[];\nconst char ${NOME}[] = R\"olpa(${CONTEUDO})olpa\";\n")
file(COPY_FILE ${SAIDA}.novo ${SAIDA} ONLY_IF_DIFFERENT)
file(REMOVE ${SAIDA}.novo)
