# Installs the build tree BUILD_DIR into the scratch prefix PREFIX and checks that the manual
# page lands in PREFIX/share/man/man1 as a copy of PAGE and, when the program is built
# (PROGRAM set), that PREFIX/bin/ua_parse is a copy of it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  OUTPUT_VARIABLE log
  ERROR_VARIABLE log
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${log}")
endif()

set(page ${PREFIX}/share/man/man1/ua_parse.1)
if(NOT EXISTS ${page})
  message(FATAL_ERROR "manual page not installed at ${page}:\n${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PAGE} ${page}
  RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "installed ${page} differs from ${PAGE}")
endif()

if(PROGRAM)
  set(bin ${PREFIX}/bin/ua_parse)
  if(NOT EXISTS ${bin})
    message(FATAL_ERROR "program not installed at ${bin}:\n${log}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PROGRAM} ${bin}
    RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "installed ${bin} differs from ${PROGRAM}")
  endif()
  message(STATUS "installed ${bin} and ${page}")
else()
  message(STATUS "installed ${page} (the program is not part of this build)")
endif()
