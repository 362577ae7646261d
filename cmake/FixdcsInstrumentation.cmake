# Instrumented builds: every target of the tree (driver, stand-ins, host side
# and tests) gets the same sanitizer or coverage flags, so that a fault is
# caught wherever it happens and coverage counts every line that ran.

if(FIXDCS_SANITIZE)
  # AddressSanitizer and UndefinedBehaviorSanitizer; the first report of
  # either ends the program with a failure instead of carrying on.
  set(FIXDCS_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all)
  add_compile_options(${FIXDCS_SANITIZER_FLAGS} -fno-omit-frame-pointer -g)
  add_link_options(${FIXDCS_SANITIZER_FLAGS})
  # The alignment check guards the driver's own code. The host emulator and
  # the tests compare fields of the packed record through references (harmless
  # on x86, and not code that ships), so there it is off.
  add_compile_options(-fno-sanitize=alignment)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL
                 set_property TARGET fixdcs_objects fixdcs APPEND PROPERTY COMPILE_OPTIONS -fsanitize=alignment)
endif()

if(FIXDCS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The record fuzzer needs clang (libFuzzer); use the fuzz preset")
  endif()
  # Coverage feedback for libFuzzer from every library the fuzzer reaches;
  # only the fuzzer program itself links libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
  # Optimised as libFuzzer advises: unoptimised, every container access of
  # the harness and the stand-ins is an instrumented call, and a run costs
  # twice the time for the same paths.
  add_compile_options(-O1)
  # The host's Text class keeps a word of its library's own that the
  # declaration never reads; clang's warning about it would stop -Werror.
  list(APPEND FIXDCS_WARNINGS -Wno-unused-private-field)
endif()

if(FIXDCS_COVERAGE)
  # gcov counters, without optimisation so that lines and branches map one
  # to one onto the source.
  add_compile_options(--coverage -O0)
  add_link_options(--coverage)
endif()
