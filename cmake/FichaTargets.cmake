# ficha_library(NAME DIR DEPS...): a static library of the .cpp files in DIR,
# or an interface target when the folder has no sources yet.
function(ficha_library name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# ficha_test(NAME DIR DEPS...): one GoogleTest program of the .cpp files in
# DIR, when there are any.
function(ficha_test name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
  if(srcs)
    add_executable(${name} ${srcs})
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# ficha_bench(NAME SOURCES... LIBS libs...): a Google Benchmark program.
function(ficha_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
