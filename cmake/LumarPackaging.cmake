# Desktop integration and the Debian package.
if(LUMAR_BUILD_UI)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumar.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/lumar.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumar-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumar)
set(CPACK_PACKAGE_VENDOR "Lumar developers")
set(CPACK_PACKAGE_CONTACT "Lumar developers <lumar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upload JPEG images to image hosts and build forum postings")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
