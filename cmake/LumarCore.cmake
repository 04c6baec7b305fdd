# The core: one static library per subsystem, plain C++20 and POSIX, no Qt.
# A subsystem's sources are the .cpp files directly in its folder (not in ui/).
function(lumar_core_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC lumar_options ${ARGN})
    add_dependencies(${name} check_no_qt_in_core check_layers)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE lumar_options ${ARGN})
  endif()
endfunction()

lumar_core_library(lumar_shell shell)
# The transport talks TLS through the system's OpenSSL (the same library Qt loads).
find_package(OpenSSL 3 REQUIRED)
lumar_core_library(lumar_net net lumar_shell OpenSSL::SSL OpenSSL::Crypto)
# Shrinking pictures before upload: libvips (see src/imagelist/image_resize.h for why).
find_package(PkgConfig REQUIRED)
pkg_check_modules(VIPS REQUIRED IMPORTED_TARGET vips)
lumar_core_library(lumar_imagelist imagelist lumar_shell)
# Loaded when the first picture is shrunk (image_resize.cpp says why), so only its headers
# here, and the name it is loaded by: the file the linker would take, under its soname.
target_include_directories(lumar_imagelist SYSTEM PRIVATE ${VIPS_INCLUDE_DIRS})
target_compile_options(lumar_imagelist PRIVATE ${VIPS_CFLAGS_OTHER})
find_library(LUMAR_VIPS_FILE vips HINTS ${VIPS_LIBRARY_DIRS} REQUIRED)
file(REAL_PATH ${LUMAR_VIPS_FILE} vips_real)
get_filename_component(vips_real ${vips_real} NAME)
string(REGEX MATCH "^libvips\\.so\\.[0-9]+" vips_soname ${vips_real})
if(NOT vips_soname)
  message(FATAL_ERROR "no soname for libvips in ${LUMAR_VIPS_FILE}")
endif()
target_compile_definitions(lumar_imagelist PRIVATE LUMAR_VIPS_LIBRARY="${vips_soname}")
target_link_libraries(lumar_imagelist PRIVATE ${CMAKE_DL_LIBS})
# Under the sanitizers it is there from the start all the same: LeakSanitizer crashes scanning
# the thread-local storage of a library loaded later, and the loading then finds it loaded.
if(LUMAR_SANITIZE OR LUMAR_SANITIZE_THREAD OR LUMAR_FUZZ)
  target_link_libraries(lumar_imagelist PRIVATE PkgConfig::VIPS)
endif()
# The upload history: SQLite (the system's library), hashes through OpenSSL's libcrypto.
find_package(SQLite3 REQUIRED)
lumar_core_library(lumar_history history lumar_shell SQLite::SQLite3 OpenSSL::Crypto)
# The host catalogue: built-in rows, hosters.ini, .sxcu definitions and presets, and the
# template language that reads a code out of a host's answer.
lumar_core_library(lumar_hosters hosters lumar_shell lumar_net lumar_imagelist)
lumar_core_library(lumar_upload upload lumar_shell lumar_net lumar_imagelist lumar_history lumar_hosters)
lumar_core_library(lumar_posting posting lumar_shell lumar_imagelist)
# What a session works on, above the rooms it joins (the upload's end handed to the posting).
lumar_core_library(lumar_session session lumar_upload lumar_posting)

# Everything the two programs share.
add_library(lumar_core INTERFACE)
target_link_libraries(lumar_core INTERFACE lumar_session lumar_posting lumar_upload lumar_hosters lumar_history lumar_net lumar_imagelist lumar_shell)

# Reading hosts' answers: JSON, XML and bounded regular expressions, kept out of the headers.
find_package(nlohmann_json 3 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
target_link_libraries(lumar_hosters PRIVATE nlohmann_json::nlohmann_json PkgConfig::PCRE2 PkgConfig::PUGIXML)
# The probe shows a JSON answer whole.
target_link_libraries(lumar_upload PRIVATE nlohmann_json::nlohmann_json)
