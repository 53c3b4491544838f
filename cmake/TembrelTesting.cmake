# Test executables go to build/tests, away from the programs and plug-ins in build/bin.
set(TEMBREL_TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/tests)
set(TEMBREL_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

# tembrel_gtest(name SOURCES a.cpp b.cpp LIBS x y): a GoogleTest executable, one CTest test per case.
function(tembrel_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TEMBREL_BIN_DIR="${TEMBREL_BIN_DIR}"
                             TEMBREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TEMBREL_TEST_OUTPUT_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "TEMBREL_BIN_DIR=${TEMBREL_BIN_DIR}")
endfunction()

# tembrel_qtest(name SOURCES ... LIBS ...): a Qt Test executable run on the offscreen platform.
function(tembrel_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  target_compile_definitions(${name} PRIVATE TEMBREL_BIN_DIR="${TEMBREL_BIN_DIR}"
                             TEMBREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TEMBREL_TEST_OUTPUT_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TEMBREL_BIN_DIR=${TEMBREL_BIN_DIR}")
endfunction()
