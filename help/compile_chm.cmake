# Compiles a help project with chmcmd: cmake -DCHMCMD=... -DPROJECT_FILE=<dir>/x.hhp
# -DOUTPUT=<path of the .chm> -P compile_chm.cmake
#
# chmcmd reports a link to a missing file only as a warning and still succeeds, but for
# the reader that is a dead link or a missing picture, so any warning fails the build.
# chmcmd writes the .chm into its working folder; it is moved into place only when the
# compile succeeded, so a failed build never leaves a half-written help file behind.
foreach(var IN ITEMS CHMCMD PROJECT_FILE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "compile_chm.cmake: ${var} is not set")
  endif()
endforeach()

get_filename_component(folder "${PROJECT_FILE}" DIRECTORY)
get_filename_component(project "${PROJECT_FILE}" NAME)
get_filename_component(chm_name "${OUTPUT}" NAME)
file(REMOVE "${folder}/${chm_name}")

execute_process(
  COMMAND "${CHMCMD}" "${project}"
  WORKING_DIRECTORY "${folder}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)

if(NOT result EQUAL 0 OR out MATCHES "(Warning|Error)" OR NOT EXISTS "${folder}/${chm_name}")
  message(FATAL_ERROR "chmcmd failed on ${PROJECT_FILE} (exit ${result}):\n${out}")
endif()
file(RENAME "${folder}/${chm_name}" "${OUTPUT}")
