# SPDX-License-Identifier: GPL-3.0-or-later
# Runs each program of a folder through olpa-rodar, as a learner's "Rodar"
# would, and keeps the picture it leaves as DESTINO/<program>.png.
# cmake -DRODAR=olpa-rodar -DOLPALIB=dir -DORIGEM=dir -DDESTINO=dir -DARVORE=scratch-dir
#       -P desenha_figuras.cmake
file(GLOB programas ${ORIGEM}/*.olp)
set(arvore ${ARVORE})
file(MAKE_DIRECTORY ${DESTINO})
foreach(programa ${programas})
  get_filename_component(nome ${programa} NAME_WE)
  # A fresh run tree each: no picture name or saving mode left by another.
  file(REMOVE_RECURSE ${arvore})
  file(MAKE_DIRECTORY ${arvore}/bin ${arvore}/telas)
  file(CREATE_LINK ${OLPALIB} ${arvore}/bin/olpalib SYMBOLIC)
  # Only the final picture counts: the pauses of an animation are skipped.
  execute_process(COMMAND ${RODAR} --sem-espera --sem-analise --trace ${programa}
                  WORKING_DIRECTORY ${arvore}/bin
                  RESULT_VARIABLE resultado OUTPUT_VARIABLE console ERROR_VARIABLE rastro)
  # The runner names the picture it left: "[tamanho] PATH, BYTES".
  string(REGEX MATCHALL "\\[tamanho\\] [^\n]*, [0-9]+" figuras "${rastro}")
  list(LENGTH figuras n)
  if(NOT resultado EQUAL 0 OR n EQUAL 0)
    message(FATAL_ERROR "${programa} não desenhou:\n${console}${rastro}")
  endif()
  list(GET figuras -1 ultima)
  string(REGEX REPLACE "^\\[tamanho\\] (.*), [0-9]+$" "\\1" figura "${ultima}")
  configure_file(${arvore}/bin/${figura} ${DESTINO}/${nome}.png COPYONLY)
endforeach()
file(REMOVE_RECURSE ${arvore})
