# Release packages (CPack), one per target, laid out alike:
#   fixdcs.dll / libfixdcs.so   the driver, the file a user installs in the host
#   INSTALL.txt                 how to install it and what the folder below is
#   dcshost/                    the host emulator, runnable as unpacked: the
#                               program, the driver and the stand-ins beside it,
#                               and the examples
# The archive's name carries the project's one version and the target.
if(FIXDCS_WINDOWS)
  set(FIXDCS_PACKAGE_TARGET windows-x86)
  set(CPACK_GENERATOR ZIP)
  set(FIXDCS_PACKAGED_LIBRARIES fixdcs plinth EDA FIXTOOLS)
else()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(FIXDCS_PACKAGE_TARGET linux-x86)
  else()
    set(FIXDCS_PACKAGE_TARGET linux-x64)
  endif()
  set(CPACK_GENERATOR TGZ)
  set(FIXDCS_PACKAGED_LIBRARIES fixdcs plinth EDA FIXTOOLS user32)
  # Unpacked, every library and the program find their neighbours beside them.
  set_target_properties(dcshost ${FIXDCS_PACKAGED_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

# What the packages hold, and nothing else (the test programs are not built).
add_custom_target(package_contents DEPENDS dcshost fmu_worker ${FIXDCS_PACKAGED_LIBRARIES})

install(TARGETS fixdcs RUNTIME DESTINATION . LIBRARY DESTINATION .
        ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
install(TARGETS dcshost fmu_worker ${FIXDCS_PACKAGED_LIBRARIES} RUNTIME DESTINATION dcshost LIBRARY DESTINATION dcshost
        ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/docs/INSTALL.txt DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples DESTINATION dcshost)

set(CPACK_PACKAGE_NAME fixdcs)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME fixdcs-${PROJECT_VERSION}-${FIXDCS_PACKAGE_TARGET})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
