# Desktop integration and the Debian package.
#   cmake --install <build>            puts everything where a Linux desktop looks for it
#   cd <build> && cpack -G DEB         builds lumar_<version>_<arch>.deb (see scripts/package.sh)
if(LUMAR_BUILD_UI)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumar.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/lumar.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Manual pages are installed compressed, as man-db and Debian expect them.
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  set(lumar_man_gz ${CMAKE_BINARY_DIR}/lumar-cli.1.gz)
  add_custom_command(OUTPUT ${lumar_man_gz}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/packaging/lumar-cli.1 > ${lumar_man_gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/lumar-cli.1
    COMMENT "Compressing the lumar-cli manual page")
  add_custom_target(lumar_man ALL DEPENDS ${lumar_man_gz})
  install(FILES ${lumar_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumar-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Debian wants the licence beside every package's documentation.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumar)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumar)
set(CPACK_PACKAGE_VENDOR "Lumar developers")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT "Lumar developers <lumar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upload JPEG images to image hosts and build forum postings")
# The extended description below the summary line; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Lumar gathers JPEG images in a list, uploads each one to an image host and
assembles the hosts' codes into a BBCode or HTML posting, centred, split into
parts and with text blocks between the images.

The package holds the desktop program lumar, the command-line program
lumar-cli and lumar-demo-hoster, a local stand-in for the image hosts.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Stripped programs, as Debian ships them; the libraries come from dpkg-shlibdeps.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so shlibdeps cannot see them: the platform plugins (xcb, wayland,
# offscreen) and the system's certificate store that HTTPS uploads are checked against. The
# JPEG reader comes with libqt6gui6 and the FFmpeg sound plugin with
# libqt6multimedia6, both found by shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-translations-l10n")
include(CPack)
