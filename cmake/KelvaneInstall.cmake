include(CMakePackageConfigHelpers)

# Components, one per Debian package (cmake/KelvanePackaging.cmake): runtime
# holds the shared libraries and their soname links, development everything a
# host compiles and links against, the unversioned .so links included.

set(KELVANE_INSTALL_TARGETS kelvane kelvane_gen1)
if(TARGET kelvane_tools)
  list(APPEND KELVANE_INSTALL_TARGETS kelvane_tools kelvane_tools_gen1)
endif()
install(TARGETS ${KELVANE_INSTALL_TARGETS} EXPORT KelvaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/kelvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
        FILES_MATCHING PATTERN "*.h")

set(KELVANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvane)
install(EXPORT KelvaneTargets NAMESPACE Kelvane:: DESTINATION ${KELVANE_CMAKE_DIR} COMPONENT development)
export(EXPORT KelvaneTargets NAMESPACE Kelvane:: FILE ${PROJECT_BINARY_DIR}/KelvaneTargets.cmake)

configure_package_config_file(cmake/KelvaneConfig.cmake.in ${PROJECT_BINARY_DIR}/KelvaneConfig.cmake
                              INSTALL_DESTINATION ${KELVANE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KelvaneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KelvaneConfig.cmake ${PROJECT_BINARY_DIR}/KelvaneConfigVersion.cmake
        DESTINATION ${KELVANE_CMAKE_DIR} COMPONENT development)

# The .pc files find the prefix from where they stand, so the install can move.
file(RELATIVE_PATH KELVANE_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
foreach(pc kelvane kelvane_gen1)
  if(pc STREQUAL "kelvane_gen1")
    set(KELVANE_PC_CFLAGS "-DKELVANE_FIRST_GENERATION=1")
    set(KELVANE_PC_DESC "first generation")
  else()
    set(KELVANE_PC_CFLAGS "")
    set(KELVANE_PC_DESC "current build")
  endif()
  set(KELVANE_PC_NAME ${pc})
  configure_file(cmake/kelvane.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endforeach()

# The toolkit's own .pc files, each requiring its build of the core (which
# carries the include directory and, for the first generation, its definition).
if(TARGET kelvane_tools)
  foreach(gen current gen1)
    if(gen STREQUAL "gen1")
      set(KELVANE_PC_NAME kelvane-tools-gen1)
      set(KELVANE_PC_CORE kelvane_gen1)
      set(KELVANE_PC_LIB kelvane_tools_gen1)
      set(KELVANE_PC_DESC "first generation")
    else()
      set(KELVANE_PC_NAME kelvane-tools)
      set(KELVANE_PC_CORE kelvane)
      set(KELVANE_PC_LIB kelvane_tools)
      set(KELVANE_PC_DESC "current build")
    endif()
    configure_file(cmake/kelvane-tools.pc.in ${PROJECT_BINARY_DIR}/${KELVANE_PC_NAME}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${KELVANE_PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
            COMPONENT development)
  endforeach()
endif()
