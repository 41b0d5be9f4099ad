# Baselines.cmake - the peer libraries the traversal benchmark runs against in
# the same process (Debian: libboost-graph-dev, liblemon-dev), and twins of the
# network benchmarks built against the first-generation library, so that both
# builds are measured. Included from bench/CMakeLists.txt; the target settings
# wait until the directory has made its benchmark programs.
find_package(Boost 1.71 REQUIRED CONFIG)  # breadth-first search and both graph types are header-only
find_package(lemon REQUIRED CONFIG)       # sets LEMON_INCLUDE_DIRS and LEMON_LIBRARIES (liblemon.a)

set(KELVANE_BENCH_DIR ${CMAKE_CURRENT_LIST_DIR})

function(kelvane_bench_baselines)
  # The peers' headers are third-party code: keep our warning flags off them.
  foreach(name TraversalBench TraversalBenchGen1 RouteBench)
    if(NOT TARGET ${name} AND name STREQUAL "TraversalBenchGen1")
      add_executable(${name} ${KELVANE_BENCH_DIR}/TraversalBench.cpp)
      target_link_libraries(${name} PRIVATE kelvane_gen1 benchmark::benchmark_main)
      target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
      kelvane_warnings(${name})
    endif()
    if(TARGET ${name})
      target_include_directories(${name} SYSTEM PRIVATE ${LEMON_INCLUDE_DIRS})
      target_link_libraries(${name} PRIVATE Boost::headers ${LEMON_LIBRARIES})
    endif()
  endforeach()
  # First-generation twins of the allocation, memory and flag-mapping figures.
  foreach(name ReallocBench MemoryBench MapNetFlagBench)
    if(NOT TARGET ${name}Gen1)
      add_executable(${name}Gen1 ${KELVANE_BENCH_DIR}/${name}.cpp)
      target_link_libraries(${name}Gen1 PRIVATE kelvane_gen1 benchmark::benchmark_main)
      target_include_directories(${name}Gen1 PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
      kelvane_warnings(${name}Gen1)
    endif()
  endforeach()
endfunction()

cmake_language(DEFER CALL kelvane_bench_baselines)
