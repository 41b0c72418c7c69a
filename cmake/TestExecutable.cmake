# indicizza_add_test_executable(NAME name SOURCES file...
#                               [LIBRARIES target...] [RUNS target...]
#                               [LABEL label] [COST seconds] [NO_PRETTY_VALUES]
#                               [ONE_PROCESS_SUITES suite...])
#
# Makes the GoogleTest executable NAME from SOURCES, linked with LIBRARIES,
# GoogleTest's main and the project's warnings, and registers each of its
# tests with CTest (listed by running the executable after each build).
# RUNS: the programs its tests run, built before it. LABEL: the CTest label
# every test of the executable carries, declared here with the sources, so a
# test added to one of them is labelled without anything else to update
# (ctest -L selects by label). One label only: gtest_discover_tests of
# CMake 3.25 keeps just the first of a list. COST: about how long each of
# its tests runs, so that a parallel ctest starts the long ones first
# rather than ending on them (a fresh build folder has no timings yet).
# NO_PRETTY_VALUES: parameterized tests are named by their name generator
# alone, without the value printed after the name. ONE_PROCESS_SUITES: the
# suites whose tests share a costly set-up made once per process
# (SetUpTestSuite, a large catalogue indexed, say): each is one CTest test,
# named after the suite, that runs all its tests in one process, rather than
# one process, and one set-up, per test.
include(GoogleTest)

# What every test executable compiles first, precompiled once per build
# folder: GoogleTest and the standard headers the tests use. A test file
# still includes what it uses.
# The tests' own code is compiled unoptimised (-O0, after the build's own
# level): the code under test is in the libraries and programs, compiled as
# the build says, and the tests' code, mostly GoogleTest's templates, then
# compiles in half the time under the sanitizers and 40% less otherwise. With it, g++ before 13 warns of bounds in
# the std::string copies it inlines into the tests (-Warray-bounds,
# -Wstringop-overflow: the same fault as the -Wrestrict CMakeLists.txt turns
# off), so these two are off for the tests' code with that compiler.
set(indicizza_test_options $<$<CONFIG:Debug,RelWithDebInfo>:-g1> -O0
    "$<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-array-bounds;-Wno-stringop-overflow>")
add_library(indicizza_test_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/test_pch.cc)
target_link_libraries(indicizza_test_pch PRIVATE GTest::gtest indicizza_warnings)
target_compile_options(indicizza_test_pch PRIVATE ${indicizza_test_options})
target_precompile_headers(indicizza_test_pch PRIVATE
  <gtest/gtest.h> <algorithm> <chrono> <filesystem> <functional> <map> <memory> <optional>
  <set> <string> <string_view> <thread> <vector>)

function(indicizza_add_test_executable)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "NO_PRETTY_VALUES" "NAME;LABEL;COST"
                        "SOURCES;LIBRARIES;RUNS;ONE_PROCESS_SUITES")
  if(NOT ARG_NAME OR NOT ARG_SOURCES OR ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "indicizza_add_test_executable: NAME and SOURCES are needed; "
                        "unknown arguments: '${ARG_UNPARSED_ARGUMENTS}'")
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main indicizza_warnings)
  target_precompile_headers(${ARG_NAME} REUSE_FROM indicizza_test_pch)
  # Compiled a few files at a time as one (a unity build): GoogleTest's
  # templates are then instantiated once for several test files. A test
  # file that defines a name another of its executable's files defines too
  # is compiled on its own (SKIP_UNITY_BUILD_INCLUSION, tests/CMakeLists.txt).
  set_target_properties(${ARG_NAME} PROPERTIES UNITY_BUILD ON)
  # Line tables only where the build asks for debug information: a failure's
  # stack trace keeps its files and lines, and the tests compile in about
  # 40% less time than with full debug information.
  target_compile_options(${ARG_NAME} PRIVATE ${indicizza_test_options})
  if(ARG_RUNS)
    add_dependencies(${ARG_NAME} ${ARG_RUNS})
  endif()
  set(pretty_values)
  if(ARG_NO_PRETTY_VALUES)
    set(pretty_values NO_PRETTY_VALUES)
  endif()
  set(properties)
  if(ARG_LABEL)
    list(APPEND properties LABELS ${ARG_LABEL})
  endif()
  if(ARG_COST)
    list(APPEND properties COST ${ARG_COST})
  endif()
  set(filter)
  if(ARG_ONE_PROCESS_SUITES)
    list(JOIN ARG_ONE_PROCESS_SUITES ".*:" suites)
    set(filter TEST_FILTER "-${suites}.*")
    foreach(suite IN LISTS ARG_ONE_PROCESS_SUITES)
      add_test(NAME ${suite} COMMAND ${ARG_NAME} --gtest_filter=${suite}.*)
      if(properties)
        set_tests_properties(${suite} PROPERTIES ${properties})
      endif()
    endforeach()
  endif()
  if(properties)
    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 ${pretty_values} ${filter}
                         PROPERTIES ${properties})
  else()
    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 ${pretty_values} ${filter})
  endif()
endfunction()
