# Fails when a source file outside a ui/ folder (or the desktop entry point) includes a Qt header.
file(GLOB_RECURSE core_files
  ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp
  ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp)
set(offenders "")
foreach(f IN LISTS core_files)
  if(f MATCHES "/ui/" OR f MATCHES "/src/app/")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|qt[a-z]*/)")
  if(lines)
    list(APPEND offenders ${f})
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Qt headers outside ui/:\n  ${text}")
endif()
