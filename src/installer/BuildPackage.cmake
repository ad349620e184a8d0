# Stages the build's `cmake --install` tree, writes Ardela.msi from it and puts Setup beside it.
# cmake -DBUILD_DIR=.. -DOUT_DIR=.. -DMAKEPACKAGE=.. -DSETUP=.. -DVERSION=.. [-DSTRIP=..] -P BuildPackage.cmake
foreach(var BUILD_DIR OUT_DIR MAKEPACKAGE SETUP VERSION)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "BuildPackage.cmake needs -D${var}=...")
  endif()
endforeach()

set(stage "${OUT_DIR}/stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${OUT_DIR}")

execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${stage}" --strip
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Staging the installed programs failed (${rc}).")
endif()

execute_process(
  COMMAND "${MAKEPACKAGE}" "${stage}" "${OUT_DIR}/Ardela.msi" "${VERSION}"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Writing Ardela.msi failed (${rc}).")
endif()

file(COPY "${SETUP}" DESTINATION "${OUT_DIR}")
if(DEFINED STRIP AND NOT "${STRIP}" STREQUAL "")
  get_filename_component(setup_name "${SETUP}" NAME)
  execute_process(COMMAND "${STRIP}" "${OUT_DIR}/${setup_name}")
endif()
file(REMOVE_RECURSE "${stage}")
