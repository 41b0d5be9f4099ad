# Debian packages through CPack, one per install component:
#   libkelvane1      runtime      the four shared libraries and their soname links
#   libkelvane-dev   development  headers, the .so links, the CMake package, the .pc files
#   kelvane-trace    demo         kelvane-trace and kelvane-trace-gen1, with their man page
#   python3-kelvane  python       the Python module (KELVANE_BUILD_PYTHON)
#   qgis-plugin-kelvane qgis      the QGIS Processing plugin (with the Python module)
# `cmake --workflow --preset package` builds them into build/package; the
# preset installs into /usr, so the libraries land in lib/<multiarch>.

# One version: the changelog's newest release must be the project's, or the
# packages would ship a changelog that contradicts their own version.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md KELVANE_CHANGELOG_TOP REGEX "^## \\[[0-9]" LIMIT_COUNT 1)
if(NOT KELVANE_CHANGELOG_TOP MATCHES "^## \\[([^]]+)\\]" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest release is '${CMAKE_MATCH_1}', the project version "
                      "${PROJECT_VERSION}: add the release to CHANGELOG.md or fix project(VERSION).")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

# Every package carries /usr/share/doc/<package>/changelog.gz: CHANGELOG.md in
# the Debian changelog form, which is what dpkg and lintian read there for a
# version without a Debian revision, compressed as Debian wants it (-9, and -n:
# no name or time stamp, so that rebuilds give the same bytes).
set(KELVANE_PACKAGE_CONTACT "Kelvane developers <kelvane@example.org>" CACHE STRING
    "The Maintainer field of the Debian packages and their changelog")
set(KELVANE_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${KELVANE_CHANGELOG_GZ}
                   COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/CHANGELOG.md
                           -DOUT=${PROJECT_BINARY_DIR}/changelog -DSOURCE=kelvane
                           "-DMAINTAINER=${KELVANE_PACKAGE_CONTACT}"
                           -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
                   COMMAND gzip -9n -f ${PROJECT_BINARY_DIR}/changelog
                   DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
                   VERBATIM)
add_custom_target(kelvane-changelog ALL DEPENDS ${KELVANE_CHANGELOG_GZ})

set(KELVANE_DEB_VERSION ${PROJECT_VERSION})
set(KELVANE_DEB_RUNTIME libkelvane${PROJECT_VERSION_MAJOR})  # named after the soname
set(KELVANE_DEB_SAME_RUNTIME "${KELVANE_DEB_RUNTIME} (= ${KELVANE_DEB_VERSION})")
set(KELVANE_DEB_BLURB
  "Kelvane holds one network in memory for a host program's own network analyses:\n"
  "numbered nodes and edges, states, weights in columns, turn weights and demand,\n"
  "with connectivity queries, trace marks and the mapping of flags onto new nodes.\n"
  "A toolkit beside it builds and checks networks and runs traces, routes,\n"
  "service areas, isolation and components on a read-only view.\n")
string(CONCAT KELVANE_DEB_BLURB ${KELVANE_DEB_BLURB})

# kelvane_deb(<component> <package> <section> <depends> <summary> <description>)
# names the component's package and gives it its fields, its copyright and
# changelog, and whatever cmake/debian/<package>/ holds: maintainer scripts and
# triggers for the control archive, lintian-overrides for lintian. The doc
# files are EXCLUDE_FROM_ALL: they belong to the packages, not to an install
# into a prefix.
function(kelvane_deb component package section depends summary description)
  string(TOUPPER ${component} comp)
  set(CPACK_DEBIAN_${comp}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_DEBIAN_${comp}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_DEBIAN_${comp}_PACKAGE_DEPENDS "${depends}" PARENT_SCOPE)
  set(CPACK_DEBIAN_${comp}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${KELVANE_CHANGELOG_GZ}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  set(extra_dir ${PROJECT_SOURCE_DIR}/cmake/debian/${package})
  if(EXISTS ${extra_dir}/lintian-overrides)
    install(FILES ${extra_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
            RENAME ${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
  set(control)
  foreach(name preinst postinst prerm postrm triggers)
    if(EXISTS ${extra_dir}/${name})
      list(APPEND control ${extra_dir}/${name})
    endif()
  endforeach()
  set(CPACK_DEBIAN_${comp}_PACKAGE_CONTROL_EXTRA "${control}" PARENT_SCOPE)
endfunction()

set(CPACK_COMPONENTS_ALL runtime development)
kelvane_deb(runtime ${KELVANE_DEB_RUNTIME} libs ""
  "in-memory network store for network analyses (shared libraries)"
  "${KELVANE_DEB_BLURB}\nThis package holds the core library in its two builds, libkelvane (current\nbuild) and libkelvane_gen1 (first generation), and the toolkit built on\neach, libkelvane_tools and libkelvane_tools_gen1.")
kelvane_deb(development libkelvane-dev libdevel "${KELVANE_DEB_SAME_RUNTIME}"
  "in-memory network store for network analyses (development files)"
  "${KELVANE_DEB_BLURB}\nThis package holds the headers, the libraries' link names, the CMake package\n(find_package(Kelvane), targets Kelvane::kelvane, Kelvane::kelvane_gen1,\nKelvane::tools, Kelvane::tools_gen1) and the pkg-config files kelvane and\nkelvane_gen1.")
if(KELVANE_BUILD_EXAMPLES)
  list(APPEND CPACK_COMPONENTS_ALL demo)
  kelvane_deb(demo kelvane-trace science "${KELVANE_DEB_SAME_RUNTIME}"
    "trace and analyse street networks and draw the result"
    "kelvane-trace reads street lines through GDAL/OGR or from CSV, places flags\nand barriers, traces from the flags or finds routes, service areas, valves to\nclose and components, and draws the result as SVG or writes it for GIS use.\nIt is the demonstration program of Kelvane, an in-memory network store;\nkelvane-trace-gen1 is the same program on the library's first generation.")
endif()
# A KELVANE_BUILD_PYTHON that a preset sets in a tree without that option
# stays untyped in the cache, and makes no empty package.
get_property(KELVANE_PYTHON_OPTION CACHE KELVANE_BUILD_PYTHON PROPERTY TYPE)
if(KELVANE_BUILD_PYTHON AND KELVANE_PYTHON_OPTION STREQUAL "BOOL")
  list(APPEND CPACK_COMPONENTS_ALL python)
  # A compiled extension loads only into the interpreter version it was built
  # for. FindPython keeps its interpreter in the cache, so this finds the one
  # the module was built with.
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
  string(CONCAT depends "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), "
                        "python3 (<< ${Python3_VERSION_MAJOR}.${next_minor}), python3-numpy, "
                        "${KELVANE_DEB_SAME_RUNTIME}")
  kelvane_deb(python python3-kelvane python "${depends}"
    "in-memory network store for network analyses (Python 3 module)"
    "${KELVANE_DEB_BLURB}\nThis package holds the Python 3 module kelvane, with NumPy arrays in and out.")

  # The QGIS plugin is Python source only, the same on every architecture,
  # in the directory where QGIS finds the plugins Debian installs.
  list(APPEND CPACK_COMPONENTS_ALL qgis)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/qgis/kelvane_processing
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/qgis/python/plugins COMPONENT qgis EXCLUDE_FROM_ALL
          PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)
  set(CPACK_DEBIAN_QGIS_PACKAGE_ARCHITECTURE all)
  kelvane_deb(qgis qgis-plugin-kelvane science "python3-kelvane (= ${KELVANE_DEB_VERSION}), qgis, python3-qgis"
    "QGIS Processing algorithms computed by Kelvane"
    "${KELVANE_DEB_BLURB}\nThis package holds the QGIS plugin kelvane_processing: the Processing provider\nkelvane, with routes and service areas that take the native network\nalgorithms' parameters, plus point barriers, turn restrictions, an\norigin-destination cost matrix, traces, valve isolation and components.")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${KELVANE_DEB_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvane developers")
set(CPACK_PACKAGE_CONTACT ${KELVANE_PACKAGE_CONTACT})
# CPackDeb puts a summary of its own in front of every package's description
# unless it is CPack's default; each package here has its own first line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # <package>_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Dependencies on system libraries come from dpkg-shlibdeps. It finds our own
# libraries in the build tree; the packages that use them name libkelvane1 at
# this very version above, since all are built from one tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS)
foreach(lib kelvane kelvane_tools)
  get_target_property(dir ${lib} LIBRARY_OUTPUT_DIRECTORY)
  if(NOT dir)
    get_target_property(dir ${lib} BINARY_DIR)
  endif()
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${dir})
endforeach()
# The shlibs file lets other packages' builds depend on libkelvane1; any later
# 1.x will do, as the soname promises.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
include(CPack)
