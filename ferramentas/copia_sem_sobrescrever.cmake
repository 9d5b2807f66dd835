# SPDX-License-Identifier: GPL-3.0-or-later
# Copies ORIGEM/*.olp into DESTINO, leaving files that already exist alone.
file(GLOB arquivos ${ORIGEM}/*.olp)
file(MAKE_DIRECTORY ${DESTINO})
foreach(arquivo ${arquivos})
  get_filename_component(nome ${arquivo} NAME)
  if(NOT EXISTS ${DESTINO}/${nome})
    file(COPY ${arquivo} DESTINATION ${DESTINO})
  endif()
endforeach()
