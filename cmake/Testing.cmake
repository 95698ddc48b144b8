# tolvarin_add_gtest(<name> SOURCES ... [LIBS ...])
# A GoogleTest program registered as one ctest test. Windows programs run under Wine in
# the build tree's prefix, which the WinePrefix fixture creates once per run.
function(tolvarin_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  tolvarin_needs_wine(${name})
endfunction()

# Marks tests that run Windows programs as needing the shared Wine prefix. They exit 77,
# reported as skipped, where the machine cannot run this build's programs (wine-emulator.sh).
function(tolvarin_needs_wine)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED WinePrefix SKIP_RETURN_CODE 77)
  endif()
endfunction()
