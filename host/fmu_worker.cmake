# The FMU worker, dcshost-fmu-PLATFORM (dcshost-fmu-linux64,
# dcshost-fmu-win32.exe), beside dcshost: FMU blocks run their code in it.
# dcshost's own build includes this file, and so does a build of the worker
# alone (FIXDCS_WORKER_ONLY), which makes the other word size's worker.
set(FIXDCS_HOST_DIR ${CMAKE_CURRENT_LIST_DIR})

# What the worker needs, and nothing more: the worker of the other word size
# ships beside a dcshost of this one, so it depends on no library of ours.
set(fmu_sources system/paths.cpp system/sha256.cpp system/crc32.cpp system/inflate.cpp system/deflate_blocks.cpp
    system/deflate_huffman.cpp system/xml_reader.cpp system/xml_scanner.cpp system/zip_archive.cpp
    system/temp_folder.cpp system/foreign_call.cpp plant/model_description.cpp plant/fmu_unit.cpp
    plant/fmu_calls.cpp plant/fmu_serve.cpp)
if(FIXDCS_WINDOWS)
  list(APPEND fmu_sources system/shared_library_win32.cpp)
else()
  list(APPEND fmu_sources system/shared_library_posix.cpp)
endif()
list(TRANSFORM fmu_sources PREPEND ${FIXDCS_HOST_DIR}/)
add_library(fmu_support STATIC ${fmu_sources})
target_include_directories(fmu_support PUBLIC ${FIXDCS_HOST_DIR})
target_link_libraries(fmu_support PUBLIC ${CMAKE_DL_LIBS})
fixdcs_warnings(fmu_support)

if(FIXDCS_WINDOWS AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(FIXDCS_WORKER_PLATFORM win64)
elseif(FIXDCS_WINDOWS)
  set(FIXDCS_WORKER_PLATFORM win32)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(FIXDCS_WORKER_PLATFORM linux32)
else()
  set(FIXDCS_WORKER_PLATFORM linux64)
endif()
add_executable(fmu_worker ${FIXDCS_HOST_DIR}/dcshost/fmu_worker_main.cpp)
set_target_properties(fmu_worker PROPERTIES OUTPUT_NAME dcshost-fmu-${FIXDCS_WORKER_PLATFORM})
target_link_libraries(fmu_worker PRIVATE fmu_support)
fixdcs_warnings(fmu_worker)
if(FIXDCS_WINDOWS)
  target_link_options(fmu_worker PRIVATE -static)
endif()
