# Shared build helpers: warnings for our own targets and the one way a test is registered.

function(ardela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# ardela_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [ENV VAR=value ...] [GUI])
# Builds one GoogleTest executable over the shared test main and registers its cases with CTest.
function(ardela_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ardela_test_main GTest::gtest GTest::gmock ${T_LIBS})
  ardela_warnings(${T_NAME})
  # The test main knows the build and source folders; ENV adds variables for this test only.
  set(env "QT_QPA_PLATFORM=offscreen" ${T_ENV})
  string(REPLACE ";" "\\;" env "${env}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
