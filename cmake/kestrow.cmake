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

# Installed layout. The programs find their helper and their shipped defaults from their own
# folder, so an installation works under any prefix and can be moved; the build tree mirrors the
# same layout below build/ so that a program run from build/bin finds them the same way.
include(GNUInstallDirs)
file(RELATIVE_PATH KESTROW_HELPER_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/kestrow)
file(RELATIVE_PATH KESTROW_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/kestrow)
foreach(place HELPER DATA)
  cmake_path(ABSOLUTE_PATH KESTROW_${place}_FROM_BIN BASE_DIRECTORY ${CMAKE_BINARY_DIR}/bin NORMALIZE
             OUTPUT_VARIABLE KESTROW_BUILD_${place}_DIR)
  cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${KESTROW_BUILD_${place}_DIR} NORMALIZE inside)
  if(NOT inside)
    message(FATAL_ERROR "The bin, libexec and share folders must share the install prefix.")
  endif()
endforeach()

# One version for every program: the project's.
add_library(kestrow_version INTERFACE)
target_compile_definitions(kestrow_version INTERFACE KESTROW_VERSION="${PROJECT_VERSION}")
