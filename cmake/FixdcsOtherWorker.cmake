# The FMU worker of the other word size, for FMUs that carry only its
# binaries: a Linux build of either word size makes the other's worker, and
# the 32-bit Windows build the 64-bit one (as the windows-x64 preset builds
# it), each with its test FMUs in a build of its own under other-word-size/,
# the worker put beside dcshost. Not for the instrumented builds, whose tests
# run one word size.
if(FIXDCS_SANITIZE OR FIXDCS_COVERAGE OR FIXDCS_FUZZ OR FIXDCS_BENCH)
  return()
endif()
if(FIXDCS_WINDOWS)
  find_program(FIXDCS_MINGW64 x86_64-w64-mingw32-g++-posix)
  if(NOT FIXDCS_MINGW64)
    message(STATUS "no x86-64 mingw-w64: this dcshost.exe gets no win64 FMU worker (scripts/setup.sh installs it)")
    return()
  endif()
  set(FIXDCS_OTHER_PLATFORM win64)
  set(other_program dcshost-fmu-win64.exe)
  set(other_toolchain -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-windows-x64.cmake)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(FIXDCS_OTHER_PLATFORM linux64)
  set(other_program dcshost-fmu-linux64)
  set(other_toolchain "")
else()
  set(FIXDCS_OTHER_PLATFORM linux32)
  set(other_program dcshost-fmu-linux32)
  set(other_toolchain -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-linux-x86.cmake)
endif()
include(ExternalProject)
set(FIXDCS_OTHER_DIR ${CMAKE_BINARY_DIR}/other-word-size)
set(FIXDCS_OTHER_WORKER ${CMAKE_BINARY_DIR}/bin/${other_program})
ExternalProject_Add(other_worker
                    SOURCE_DIR ${PROJECT_SOURCE_DIR}
                    BINARY_DIR ${FIXDCS_OTHER_DIR}
                    CMAKE_GENERATOR Ninja
                    CMAKE_ARGS ${other_toolchain} -DFIXDCS_WORKER_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
                    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${FIXDCS_OTHER_DIR}/bin/${other_program}
                                    ${FIXDCS_OTHER_WORKER}
                    BUILD_ALWAYS ON
                    BUILD_BYPRODUCTS ${FIXDCS_OTHER_WORKER})
add_dependencies(dcshost other_worker)
install(PROGRAMS ${FIXDCS_OTHER_WORKER} DESTINATION dcshost)
