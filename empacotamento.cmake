# SPDX-License-Identifier: GPL-3.0-or-later
# Installation and the Debian package. The window's program goes to
# lib/olpa, its data (olpalib/) and the examples to share/olpa, the icon, desktop entry and AppStream
# metainfo (all three named by the AppStream id) where desktops look, the
# manual pages, the copyright and changelog where Debian wants them, and the
# launcher bin/olpa, which sets up the user's own folder and starts olpa
# there. `cpack` (in the build folder) makes olpa_VERSION-REVISION_ARCH.deb of
# the same files, installed under /usr.
set(OLPA_MANTENEDOR "Equipe do olpa <maintainers@users.noreply.c-seed-6648f028.example>")
set(OLPA_REVISAO 1) # the package's own revision of this version

install(TARGETS olpa DESTINATION lib/olpa)
install(TARGETS olpa-rodar DESTINATION bin)
if(TARGET olpa-analisa)
  install(TARGETS olpa-analisa DESTINATION lib/olpa)
endif()
install(DIRECTORY ${OLPA_BIN}/olpalib DESTINATION share/olpa PATTERN "*.feito" EXCLUDE)
install(FILES ${OLPA_EXEMPLOS} DESTINATION share/olpa/exemplos)
foreach(n ${OLPA_ICONE_TAMANHOS})
  install(FILES ${OLPA_BIN}/olpalib/icones/olpa-${n}.png
          DESTINATION share/icons/hicolor/${n}x${n}/apps RENAME ${OLPA_ID}.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/dados/${OLPA_ID}.desktop DESTINATION share/applications)
install(FILES ${OLPA_METAINFO} DESTINATION share/metainfo)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/dados/olpa.sh DESTINATION bin RENAME olpa)
install(FILES ${OLPA_MAN}/olpa.1.gz ${OLPA_MAN}/olpa-rodar.1.gz DESTINATION share/man/man1)
# The compiler's version notes are of no use in an installed program.
set(olpa_binarios lib/olpa/olpa bin/olpa-rodar)
if(TARGET olpa-analisa)
  list(APPEND olpa_binarios lib/olpa/olpa-analisa)
endif()
install(CODE "foreach(p ${olpa_binarios})
  execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                          \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${p} COMMAND_ERROR_IS_FATAL ANY)
endforeach()")
install(FILES ${CMAKE_SOURCE_DIR}/dados/lintian-overrides DESTINATION share/lintian/overrides
        RENAME olpa)

# The changelog, from the metainfo's releases.
set(OLPA_CHANGELOG ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
add_custom_command(OUTPUT ${OLPA_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -DMETAINFO=${OLPA_METAINFO} -DREVISAO=${OLPA_REVISAO}
          -DMANTENEDOR=${OLPA_MANTENEDOR} -DSAIDA=${OLPA_CHANGELOG}
          -P ${CMAKE_SOURCE_DIR}/ferramentas/gera_changelog.cmake
  DEPENDS ${OLPA_METAINFO} ${CMAKE_SOURCE_DIR}/ferramentas/gera_changelog.cmake
  COMMENT "Escrevendo doc/changelog.Debian.gz"
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${OLPA_CHANGELOG})
install(FILES ${CMAKE_SOURCE_DIR}/dados/copyright ${OLPA_CHANGELOG} DESTINATION share/doc/olpa)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME olpa)
set(CPACK_PACKAGE_VENDOR "Equipe do olpa")
set(CPACK_PACKAGE_CONTACT ${OLPA_MANTENEDOR})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${OLPA_REVISAO})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ambiente para aprender C desenhando")
# The extended description: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "O olpa é um pequeno ambiente, em português, para aprender a programar em C
desenhando: escreva um programa, aperte Rodar e veja a figura que ele
desenhou. O console explica os erros do compilador em português, a ajuda
(F1) traz todas as funções com exemplos, e cada programa roda isolado pelo
núcleo do Linux. O olpa-rodar roda programas sem a janela e corrige os de
uma turma inteira contra a figura de um modelo.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://olpa.github.io/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Binaries without their symbols (a debugger finds them in the build).
set(CPACK_STRIP_FILES ON)
# The shared libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no linker sees: the compiler library (linked in statically) compiles
# learners' programs against tcc's own headers and runtime and the C library's
# headers; C.UTF-8 (in libc-bin) and GLib's Portuguese, for GTK to speak it
# on any machine.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tcc, libc6-dev, libglib2.0-data")
# The system's reasons for a failure ("Permissão negada") in Portuguese;
# without them they are told in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libc-l10n")
# The analyser parses programs with clang, which needs its own headers
# (stddef.h and the like) besides the C library's.
if(TARGET olpa-analisa)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, libclang-common-14-dev")
endif()
include(CPack)
