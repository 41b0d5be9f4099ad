# Warnings for everything this project compiles itself.
function(kelvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wundef -Wshadow)
  if(KELVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# One function makes both builds alike. GEN1 selects the first generation;
# FAULTS makes a static variant whose table allocations a test can fail on
# purpose (never installed).
function(kelvane_add_library name)
  cmake_parse_arguments(ARG "GEN1;FAULTS" "" "" ${ARGN})
  if(ARG_FAULTS)
    add_library(${name} STATIC ${KELVANE_SOURCES})
    target_compile_definitions(${name} PUBLIC KELVANE_STATIC KELVANE_FAULT_INJECTION=1)
  else()
    add_library(${name} SHARED ${KELVANE_SOURCES})
    set_target_properties(${name} PROPERTIES
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_compile_definitions(${name} PRIVATE KELVANE_BUILDING_LIBRARY)
    target_compile_options(${name} PRIVATE -fno-semantic-interposition)
  endif()
  if(ARG_GEN1)
    target_compile_definitions(${name} PUBLIC KELVANE_FIRST_GENERATION=1)
  endif()
  target_include_directories(${name}
    PUBLIC  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_features(${name} PUBLIC cxx_std_11)
  kelvane_warnings(${name})
endfunction()

# kelvane_add_test(NAME x SOURCES ... [CURRENT_ONLY|GEN1_ONLY] LIBS current gen1 LABELS ...)
# builds the sources once per build of the library, as kelvane_x_tests_current
# linked to the first of LIBS and kelvane_x_tests_gen1 linked to the second,
# and registers each test case as its own CTest test.
function(kelvane_add_test)
  cmake_parse_arguments(ARG "CURRENT_ONLY;GEN1_ONLY" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  list(GET ARG_LIBS 0 current_lib)
  list(GET ARG_LIBS 1 gen1_lib)
  set(builds current gen1)
  if(ARG_CURRENT_ONLY)
    set(builds current)
  elseif(ARG_GEN1_ONLY)
    set(builds gen1)
  endif()
  foreach(build ${builds})
    set(exe kelvane_${ARG_NAME}_tests_${build})
    add_executable(${exe} ${ARG_SOURCES})
    target_link_libraries(${exe} PRIVATE ${${build}_lib} GTest::gtest_main)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
    kelvane_warnings(${exe})
    gtest_discover_tests(${exe} TEST_PREFIX "${build}." PROPERTIES LABELS "${ARG_LABELS};${build}"
                         DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()
