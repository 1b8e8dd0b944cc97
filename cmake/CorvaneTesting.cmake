# corvane_add_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [WIN_ONLY])
#
# One test executable = one ctest entry. On Windows it runs through the Wine wrapper
# (CMAKE_CROSSCOMPILING_EMULATOR); on the host natively under the sanitizers.
# Every test gets a timeout so that a stuck modal loop cannot eat the CI budget.
function(corvane_add_test name)
  cmake_parse_arguments(T "WIN_ONLY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(T_WIN_ONLY AND NOT CORVANE_WIN)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} corvane_test_main corvane_resources GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
