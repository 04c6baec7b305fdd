# Desktop integration and the Debian package.
#   cmake --install <build>            puts everything where a Linux desktop looks for it
#   cd <build> && cpack -G DEB         builds lumar_<version>_<arch>.deb (see scripts/package.sh)
if(LUMAR_BUILD_UI)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumar.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/lumar.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The AppStream ID is the reverse of the home page's host name, as software centres expect
# (https://lumar.example/ gives example.lumar.Lumar). Without a home page the reserved name
# lumar.invalid stands in: it can never be registered, so the ID clashes with no one's.
function(lumar_app_id home_url out_var)
  set(host lumar.invalid)
  if(home_url MATCHES "^[A-Za-z][A-Za-z0-9+.-]*://([^/:?#@]*@)?([^/:?#]+)")
    string(TOLOWER "${CMAKE_MATCH_2}" host)
    string(REGEX REPLACE "^www\\." "" host "${host}")
  endif()
  # Each part of an ID starts with a letter and holds no hyphen.
  string(REPLACE "-" "_" host "${host}")
  string(REPLACE "." ";" parts "${host}")
  list(REVERSE parts)
  set(id "")
  foreach(part IN LISTS parts)
    if(part MATCHES "^[0-9]")
      set(part "_${part}")
    endif()
    string(APPEND id "${part}.")
  endforeach()
  set(${out_var} "${id}Lumar" PARENT_SCOPE)
endfunction()

# Writes the metainfo file for the given addresses; the picture addresses assume the home page
# publishes the repository's docs/ folder beside it.
function(lumar_configure_metainfo out_file home_url donation_url forum_url)
  lumar_app_id("${home_url}" LUMAR_APP_ID)
  # A query's "&" would end the XML text.
  foreach(address home_url donation_url forum_url)
    string(REPLACE "&" "&amp;" ${address} "${${address}}")
    string(REPLACE "<" "%3C" ${address} "${${address}}")
    string(REPLACE ">" "%3E" ${address} "${${address}}")
  endforeach()
  set(LUMAR_METAINFO_URLS "")
  set(LUMAR_METAINFO_SCREENSHOTS "")
  if(home_url)
    string(APPEND LUMAR_METAINFO_URLS "  <url type=\"homepage\">${home_url}</url>\n")
    set(pictures "${home_url}docs/")
    if(NOT home_url MATCHES "/$")
      set(pictures "${home_url}/docs/")
    endif()
    string(APPEND LUMAR_METAINFO_SCREENSHOTS "  <screenshots>\n")
    foreach(shot "main-window|The image list with the preview"
                 "code-panel|A finished posting in the code panel"
                 "hosters-window|A host definition tested in the hosters window")
      string(REPLACE "|" ";" shot "${shot}")
      list(GET shot 0 name)
      list(GET shot 1 caption)
      set(kind "")
      if(name STREQUAL "main-window")
        set(kind " type=\"default\"")
      endif()
      string(APPEND LUMAR_METAINFO_SCREENSHOTS
        "    <screenshot${kind}>\n      <caption>${caption}</caption>\n"
        "      <image>${pictures}${name}.png</image>\n    </screenshot>\n")
    endforeach()
    string(APPEND LUMAR_METAINFO_SCREENSHOTS "  </screenshots>\n")
  endif()
  if(donation_url)
    string(APPEND LUMAR_METAINFO_URLS "  <url type=\"donation\">${donation_url}</url>\n")
  endif()
  if(forum_url)
    string(APPEND LUMAR_METAINFO_URLS "  <url type=\"help\">${forum_url}</url>\n")
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/packaging/lumar.metainfo.xml.in ${out_file} @ONLY)
  set(LUMAR_APP_ID ${LUMAR_APP_ID} PARENT_SCOPE)
endfunction()

lumar_configure_metainfo(${CMAKE_BINARY_DIR}/packaging/metainfo.xml
  "${LUMAR_HOME_URL}" "${LUMAR_DONATION_URL}" "${LUMAR_FORUM_URL}")
if(LUMAR_BUILD_UI)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME ${LUMAR_APP_ID}.metainfo.xml)
endif()

# Software centres read the metainfo file; it must pass AppStream's own check, both as this
# build writes it and with every address set.
find_program(APPSTREAMCLI appstreamcli)
if(LUMAR_BUILD_TESTS AND APPSTREAMCLI)
  lumar_configure_metainfo(${CMAKE_BINARY_DIR}/packaging/metainfo-all-addresses.xml
    "https://www.lumar-project.example/" "https://lumar.example/donate?via=app&lang=de"
    "https://forum.lumar.example/")
  add_test(NAME packaging_metainfo_test COMMAND ${APPSTREAMCLI} validate --no-net
    ${CMAKE_BINARY_DIR}/packaging/metainfo.xml
    ${CMAKE_BINARY_DIR}/packaging/metainfo-all-addresses.xml)
  set_tests_properties(packaging_metainfo_test PROPERTIES LABELS core)
endif()

# Manual pages are installed compressed, as man-db and Debian expect them.
set(lumar_man_pages lumar-cli.1)
if(LUMAR_BUILD_UI)
  list(APPEND lumar_man_pages lumar.1)
endif()
find_program(GZIP_PROGRAM gzip)
foreach(page IN LISTS lumar_man_pages)
  if(GZIP_PROGRAM)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${page}.gz
      COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/packaging/${page} > ${CMAKE_BINARY_DIR}/${page}.gz
      DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${page}
      COMMENT "Compressing the manual page ${page}")
    list(APPEND lumar_man_gz ${CMAKE_BINARY_DIR}/${page}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
if(lumar_man_gz)
  add_custom_target(lumar_man ALL DEPENDS ${lumar_man_gz})
endif()

# Debian wants the licence beside every package's documentation.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumar)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumar)
set(CPACK_PACKAGE_VENDOR "Lumar developers")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT "Lumar developers <lumar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upload pictures to image hosts and build forum postings")
# The extended description below the summary line; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Lumar gathers pictures (JPEG, PNG, GIF, WebP) in a list, uploads each one to
an image host and assembles the hosts' codes into a BBCode, HTML or Markdown
posting, centred, split into parts and with text blocks between the images.
Hosts of today are reached through ShareX host definitions (.sxcu); pictures
can be made smaller and stripped of location data before they are sent.

The package holds the desktop program lumar, the command-line program
lumar-cli and lumar-demo-hoster, a local stand-in for the image hosts.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Stripped programs, as Debian ships them; the libraries come from dpkg-shlibdeps.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so shlibdeps cannot see them: the platform plugins (xcb, offscreen), the
# system's certificate store that HTTPS uploads are checked against, the image-format plugins
# that read WebP for the preview and Qt's own translations of its dialogs, and libvips
# (resizing and stripping), loaded when the first picture is shrunk. SQLite (the history) is
# linked and found by shlibdeps as well; it is named here so the package says what it needs
# even where the scan is switched off. The Wayland
# plugin is recommended: without it Qt runs the window through XWayland. D-Bus carries the
# end-of-run notification, which is simply not shown without it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, ca-certificates, qt6-image-formats-plugins, qt6-translations-l10n, libsqlite3-0, libvips42")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, dbus")
include(CPack)
