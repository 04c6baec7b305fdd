# The Qt front end: the ui/ folders of all subsystems in one library.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network Multimedia Svg Test)
file(GLOB ui_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/shell/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/src/imagelist/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/src/upload/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/src/posting/ui/*.cpp)
file(GLOB ui_headers CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/shell/ui/*.h
  ${CMAKE_SOURCE_DIR}/src/imagelist/ui/*.h
  ${CMAKE_SOURCE_DIR}/src/upload/ui/*.h
  ${CMAKE_SOURCE_DIR}/src/posting/ui/*.h)
add_library(lumar_ui STATIC ${ui_sources} ${ui_headers} ${CMAKE_SOURCE_DIR}/resources/lumar.qrc)
set_target_properties(lumar_ui PROPERTIES AUTOMOC ON AUTORCC ON)
target_link_libraries(lumar_ui PUBLIC lumar_core
  Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::Multimedia Qt6::Svg)
