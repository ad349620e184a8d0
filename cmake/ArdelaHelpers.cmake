# Shared build helpers: warnings for our own targets and the one way a test is registered.

function(ardela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# ardela_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [ENV VAR=value ...])
# Builds one GoogleTest executable over the shared test main and registers its cases with CTest.
# ENV variables are compiled into the test and set by the test main before anything starts, so
# they hold however the test is run (CTest, by hand, or during test discovery).
function(ardela_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
  set(entries "")
  foreach(assignment ${T_ENV})
    string(REPLACE "\\" "\\\\" assignment "${assignment}")
    string(REPLACE "\"" "\\\"" assignment "${assignment}")
    string(APPEND entries "\"${assignment}\", ")
  endforeach()
  set(env_source ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_environment.cpp)
  file(GENERATE OUTPUT ${env_source}
       CONTENT "// Environment of the test ${T_NAME}, set by the test main.\nextern const char* const kTestEnvironment[] = {${entries}nullptr};\n")
  add_executable(${T_NAME} ${T_SOURCES} ${env_source})
  target_link_libraries(${T_NAME} PRIVATE ardela_test_main GTest::gtest GTest::gmock ${T_LIBS})
  ardela_warnings(${T_NAME})
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 300)
endfunction()
