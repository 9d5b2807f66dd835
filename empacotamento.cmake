# Installation and the Debian package. The programs and olpalib/ go to
# lib/olpa, the examples to share/olpa, the icon, desktop entry and AppStream
# metainfo where desktops look, and the launcher bin/olpa, which sets up the
# user's own folder and starts olpa there. `cpack` (in the build folder)
# makes olpa_VERSION_ARCH.deb of the same files, installed under /usr.
install(TARGETS olpa DESTINATION lib/olpa)
install(TARGETS olpa-rodar DESTINATION bin)
if(TARGET olpa-analisa)
  install(TARGETS olpa-analisa DESTINATION lib/olpa)
endif()
install(DIRECTORY ${OLPA_BIN}/olpalib DESTINATION lib/olpa PATTERN "*.feito" EXCLUDE)
install(FILES ${OLPA_EXEMPLOS} DESTINATION share/olpa/exemplos)
foreach(n ${OLPA_ICONE_TAMANHOS})
  install(FILES ${OLPA_BIN}/olpalib/icones/olpa-${n}.png
          DESTINATION share/icons/hicolor/${n}x${n}/apps RENAME olpa.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/dados/olpa.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dados/olpa.metainfo.xml DESTINATION share/metainfo)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/dados/olpa.sh DESTINATION bin RENAME olpa)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME olpa)
set(CPACK_PACKAGE_VENDOR "olpa")
set(CPACK_PACKAGE_CONTACT "Equipe do olpa <olpa@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ambiente para aprender C desenhando")
set(CPACK_PACKAGE_DESCRIPTION
    "O olpa é um pequeno ambiente, em português, para aprender a programar em C desenhando: \
escreva um programa, aperte Rodar e veja a figura que ele desenhou.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
# The shared libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no linker sees: the compiler library (linked in statically) compiles
# learners' programs against tcc's own headers and runtime and the C library's
# headers.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tcc, libc6-dev")
# The analyser parses programs with clang, which needs its own headers
# (stddef.h and the like) besides the C library's.
if(TARGET olpa-analisa)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, libclang-common-14-dev")
endif()
include(CPack)
