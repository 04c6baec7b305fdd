# The Qt front end: one static library per ui/ folder, each linking only the rooms below it,
# so a panel that reaches upward does not link.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network Multimedia Svg Test DBus Concurrent)
function(lumar_ui_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/${folder}/ui/*.cpp ${CMAKE_SOURCE_DIR}/src/${folder}/ui/*.h)
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

lumar_ui_library(lumar_shell_ui shell lumar_shell
  Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::Multimedia Qt6::Svg)
lumar_ui_library(lumar_imagelist_ui imagelist lumar_imagelist lumar_shell_ui)
lumar_ui_library(lumar_posting_ui posting lumar_posting lumar_imagelist_ui lumar_shell_ui)
lumar_ui_library(lumar_upload_ui upload lumar_upload lumar_imagelist_ui lumar_shell_ui)
lumar_ui_library(lumar_history_ui history lumar_history lumar_shell_ui)
# A long history is read on a worker while the window already shows its newest entries.
target_link_libraries(lumar_history_ui PUBLIC Qt6::Concurrent)
lumar_ui_library(lumar_app_ui app lumar_session lumar_posting_ui lumar_upload_ui lumar_imagelist_ui
  lumar_history_ui lumar_shell_ui)
# The program's icon is drawn by the main window only.
target_sources(lumar_app_ui PRIVATE ${CMAKE_SOURCE_DIR}/resources/lumar.qrc)
# The end-of-run notification speaks to the desktop over the session bus.
target_link_libraries(lumar_app_ui PUBLIC Qt6::DBus)
