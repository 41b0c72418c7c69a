# indicizza_add_test_executable(NAME name SOURCES file...
#                               [LIBRARIES target...] [RUNS target...]
#                               [LABEL label] [NO_PRETTY_VALUES])
#
# Makes the GoogleTest executable NAME from SOURCES, linked with LIBRARIES,
# GoogleTest's main and the project's warnings, and registers each of its
# tests with CTest (listed by running the executable after each build).
# RUNS: the programs its tests run, built before it. LABEL: the CTest label
# every test of the executable carries, declared here with the sources, so a
# test added to one of them is labelled without anything else to update
# (ctest -L selects by label). One label only: gtest_discover_tests of
# CMake 3.25 keeps just the first of a list. NO_PRETTY_VALUES: parameterized
# tests are named by their name generator alone, without the value printed
# after the name.
include(GoogleTest)

function(indicizza_add_test_executable)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "NO_PRETTY_VALUES" "NAME;LABEL"
                        "SOURCES;LIBRARIES;RUNS")
  if(NOT ARG_NAME OR NOT ARG_SOURCES OR ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "indicizza_add_test_executable: NAME and SOURCES are needed; "
                        "unknown arguments: '${ARG_UNPARSED_ARGUMENTS}'")
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main indicizza_warnings)
  if(ARG_RUNS)
    add_dependencies(${ARG_NAME} ${ARG_RUNS})
  endif()
  set(pretty_values)
  if(ARG_NO_PRETTY_VALUES)
    set(pretty_values NO_PRETTY_VALUES)
  endif()
  if(ARG_LABEL)
    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 ${pretty_values}
                         PROPERTIES LABELS ${ARG_LABEL})
  else()
    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 ${pretty_values})
  endif()
endfunction()
