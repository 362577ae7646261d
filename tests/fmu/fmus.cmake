# The test FMUs: each built as this target's shared library, put with its
# modelDescription.xml under binaries/<platform>/ and zipped into
# build/PRESET/fmu/NAME.fmu, as a tool exports an FMU.
if(FIXDCS_WINDOWS AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(FIXDCS_FMU_PLATFORM win64)
elseif(FIXDCS_WINDOWS)
  set(FIXDCS_FMU_PLATFORM win32)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(FIXDCS_FMU_PLATFORM linux32)
else()
  set(FIXDCS_FMU_PLATFORM linux64)
endif()
set(FIXDCS_FMU_DIR ${CMAKE_BINARY_DIR}/fmu)
set(FIXDCS_FMU_SOURCES ${CMAKE_CURRENT_LIST_DIR})

# fixdcs_add_fmu(NAME [MODEL FOLDER] [DEFINES ...]): the FMU NAME from the
# sources and model description in fmu/FOLDER (NAME by default).
function(fixdcs_add_fmu name)
  cmake_parse_arguments(ARG "" "MODEL" "DEFINES" ${ARGN})
  set(model ${name})
  if(ARG_MODEL)
    set(model ${ARG_MODEL})
  endif()
  set(stage ${FIXDCS_FMU_DIR}/${name})
  add_library(${name}_fmu MODULE ${FIXDCS_FMU_SOURCES}/fmu_common.c
              ${FIXDCS_FMU_SOURCES}/${model}/${model}.c)
  target_compile_definitions(${name}_fmu PRIVATE ${ARG_DEFINES})
  target_include_directories(${name}_fmu PRIVATE ${FIXDCS_FMU_SOURCES})
  set_target_properties(${name}_fmu PROPERTIES OUTPUT_NAME ${model} PREFIX "" C_STANDARD 99 C_VISIBILITY_PRESET hidden
                        LIBRARY_OUTPUT_DIRECTORY ${stage}/binaries/${FIXDCS_FMU_PLATFORM})
  target_compile_options(${name}_fmu PRIVATE -Wall -Wextra -Werror)
  if(FIXDCS_WINDOWS)
    target_link_options(${name}_fmu PRIVATE -static-libgcc)
  else()
    target_link_libraries(${name}_fmu PRIVATE m)
  endif()
  add_custom_command(OUTPUT ${FIXDCS_FMU_DIR}/${name}.fmu
                     COMMAND ${CMAKE_COMMAND} -E copy ${FIXDCS_FMU_SOURCES}/${model}/modelDescription.xml
                             ${stage}/modelDescription.xml
                     COMMAND ${CMAKE_COMMAND} -E tar cf ${FIXDCS_FMU_DIR}/${name}.fmu --format=zip
                             modelDescription.xml binaries
                     WORKING_DIRECTORY ${stage}
                     DEPENDS ${name}_fmu ${FIXDCS_FMU_SOURCES}/${model}/modelDescription.xml)
  add_custom_target(${name}_fmu_zip ALL DEPENDS ${FIXDCS_FMU_DIR}/${name}.fmu)
endfunction()

fixdcs_add_fmu(tank)
if(FIXDCS_WORKER_ONLY)
  return()  # the other word size's build: the tank is the FMU its test runs
endif()
fixdcs_add_fmu(first_order)
fixdcs_add_fmu(no_dostep MODEL first_order DEFINES FMU_WITHOUT_DOSTEP)
fixdcs_add_fmu(misbehaving MODEL first_order DEFINES FMU_MISBEHAVES)
fixdcs_add_fmu(terminates MODEL first_order DEFINES FMU_TERMINATES)
fixdcs_add_fmu(no_getstate MODEL first_order DEFINES FMU_WITHOUT_GETSTATE)
