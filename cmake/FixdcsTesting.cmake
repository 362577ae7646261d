# Helpers shared by the build: warnings for our own targets, GoogleTest built
# for the current target, and a one-line way to register a test program.

function(fixdcs_warnings target)
  target_compile_options(${target} PRIVATE ${FIXDCS_WARNINGS})
endfunction()

# A test program: one CTest test per executable. Windows programs are linked
# statically and run serially under wine; exit 77 marks a skipped run. Every
# program runs in the build's bin folder (as cmake/run-built.sh runs a Windows one) and writes
# its GoogleTest results into test-results/ beside it, which the summary of
# `make test` counts.
function(fixdcs_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} fixdcs_gtest_main)
  fixdcs_warnings(${name})
  if(FIXDCS_WINDOWS)
    target_link_options(${name} PRIVATE -static)
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600
                       ENVIRONMENT "GTEST_OUTPUT=xml:../test-results/")
  if(FIXDCS_WINDOWS)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL ON)
  endif()
endfunction()
