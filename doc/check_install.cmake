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

# Fails unless `installed` exists and has the same bytes as `source`.
function(expect_copy source installed)
  if(NOT EXISTS ${installed})
    message(FATAL_ERROR "${source} not installed at ${installed}:\n${log}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${source} ${installed}
    RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "installed ${installed} differs from ${source}")
  endif()
  message(STATUS "installed ${installed}")
endfunction()

expect_copy(${PAGE} ${PREFIX}/share/man/man1/ua_parse.1)
if(PROGRAM)
  expect_copy(${PROGRAM} ${PREFIX}/bin/ua_parse)
else()
  message(STATUS "the program is not part of this build")
endif()
