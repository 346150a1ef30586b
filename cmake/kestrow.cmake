# Shared build settings for every Kestrow target.

function(kestrow_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KESTROW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kestrow_module(NAME SOURCES ... DEPS ...): one static library per module, includes rooted
# at the repository.
function(kestrow_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(kestrow_${name} STATIC ${ARG_SOURCES})
  target_include_directories(kestrow_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(kestrow_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  kestrow_warnings(kestrow_${name})
endfunction()

# kestrow_test(NAME SOURCES ... DEPS ...): one GoogleTest executable, registered with ctest.
function(kestrow_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kestrow_testsupport GTest::gmock GTest::gtest_main)
  kestrow_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "KESTROW_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()
