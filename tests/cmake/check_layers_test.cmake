# Runs the layer check on small planted trees: each row is one file with one include and
# whether the check must let it pass.
#   cmake -DCHECK_SCRIPT=<CheckLayers.cmake> -DWORK_DIR=<scratch folder> -P check_layers_test.cmake
cmake_minimum_required(VERSION 3.25)
set(cases
  "imagelist/planted.cpp|posting/posting_builder.h|refused"  # sideways between rooms
  "shell/ui/planted.cpp|imagelist/ui/image_list_panel.h|refused"  # floor reaching the roof
  "upload/planted.cpp|upload/ui/upload_panel.h|refused"  # core into its own window
  "imagelist/ui/planted.h|posting/text_block_editing.h|refused"
  "posting/ui/planted.cpp|imagelist/ui/image_list_model.h|allowed"
  "upload/ui/planted.cpp|shell/ui/link_label.h|allowed"
  "app/ui/planted.cpp|session/posting_hand_over.h|allowed"
  "hosters/planted.cpp|upload/upload_run.h|refused"  # the catalogue knows nothing of the run
  "hosters/planted.cpp|history/history_store.h|refused"
  "upload/planted.cpp|hosters/hoster_table.h|allowed")
set(failures "")
foreach(row IN LISTS cases)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 file)
  list(GET fields 1 header)
  list(GET fields 2 expected)
  set(tree ${WORK_DIR}/tree)
  file(REMOVE_RECURSE ${tree})
  string(REGEX MATCH "^[^/]+" header_room "${header}")
  file(MAKE_DIRECTORY ${tree}/src/${header_room})
  file(WRITE ${tree}/src/${file} "#include \"${header}\"\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${CHECK_SCRIPT}
                  RESULT_VARIABLE result ERROR_VARIABLE output)
  if(expected STREQUAL "refused" AND (result EQUAL 0 OR NOT output MATCHES "src/${file} includes ${header}"))
    list(APPEND failures "${file} -> ${header} passed the check")
  elseif(expected STREQUAL "allowed" AND NOT result EQUAL 0)
    list(APPEND failures "${file} -> ${header} was refused: ${output}")
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Layer check:\n  ${text}")
endif()
