# The FMU worker of the other word size, for FMUs that carry only its
# binaries: a Linux build of either word size makes the other's worker (and
# its test FMUs, for the tests) in a build of its own under other-word-size/,
# and puts the worker beside dcshost. Not for the instrumented builds, whose
# tests run one word size.
if(FIXDCS_WINDOWS OR FIXDCS_SANITIZE OR FIXDCS_COVERAGE OR FIXDCS_FUZZ OR FIXDCS_BENCH)
  return()
endif()
include(ExternalProject)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(FIXDCS_OTHER_PLATFORM linux64)
  set(other_toolchain "")
else()
  set(FIXDCS_OTHER_PLATFORM linux32)
  set(other_toolchain -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-linux-x86.cmake)
endif()
set(FIXDCS_OTHER_DIR ${CMAKE_BINARY_DIR}/other-word-size)
set(FIXDCS_OTHER_WORKER ${CMAKE_BINARY_DIR}/bin/dcshost-fmu-${FIXDCS_OTHER_PLATFORM})
ExternalProject_Add(other_worker
                    SOURCE_DIR ${PROJECT_SOURCE_DIR}
                    BINARY_DIR ${FIXDCS_OTHER_DIR}
                    CMAKE_GENERATOR Ninja
                    CMAKE_ARGS ${other_toolchain} -DFIXDCS_WORKER_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
                    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different
                                    ${FIXDCS_OTHER_DIR}/bin/dcshost-fmu-${FIXDCS_OTHER_PLATFORM} ${FIXDCS_OTHER_WORKER}
                    BUILD_ALWAYS ON
                    BUILD_BYPRODUCTS ${FIXDCS_OTHER_WORKER}
                    USES_TERMINAL_BUILD OFF)
add_dependencies(dcshost other_worker)
install(PROGRAMS ${FIXDCS_OTHER_WORKER} DESTINATION dcshost)
