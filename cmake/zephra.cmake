# Small helpers shared by every folder's CMakeLists.

# zephra_host_test(NAME SOURCES ... [LIBS ...]) - GoogleTest on the host, sanitizers on.
function(zephra_host_test name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS host)
endfunction()

# zephra_win_test(NAME SOURCES ... [LIBS ...] [SHAPES 9x nt]) - GoogleTest under Wine.
# SHAPES names the prefixes the test runs in; the test script picks them by label.
function(zephra_win_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;SHAPES" ${ARGN})
  if(NOT T_SHAPES)
    set(T_SHAPES 9x)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${T_SHAPES}" TIMEOUT ${T_TIMEOUT})
endfunction()
