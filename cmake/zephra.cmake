# Small helpers shared by every folder's CMakeLists.

# The repository's top, also when card/trivox is configured on its own.
get_filename_component(ZEPHRA_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

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

# zephra_name(VAR NAME) - the text of `#define NAME "..."` in shared/names/Names.h, the one
# definition of the names that programs and scripts share.
set(ZEPHRA_NAMES_HEADER ${ZEPHRA_ROOT}/shared/names/Names.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZEPHRA_NAMES_HEADER})
function(zephra_name var name)
  file(STRINGS ${ZEPHRA_NAMES_HEADER} line REGEX "^#define ${name} \"[^\"]*\"$")
  if(NOT line)
    message(FATAL_ERROR "${name} is not defined in ${ZEPHRA_NAMES_HEADER}")
  endif()
  string(REGEX REPLACE "^#define ${name} \"([^\"]*)\"$" "\\1" value "${line}")
  set(${var} ${value} PARENT_SCOPE)
endfunction()

# zephra_def(VAR FILE) - a module-definition file for this architecture in VAR. Ours name the
# i686 stdcall symbols (`f@12`); x86_64 has one calling convention and no decoration.
function(zephra_def var def)
  get_filename_component(name ${def} NAME)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${def} text)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name} "${text}")
    set(${var} ${CMAKE_CURRENT_BINARY_DIR}/${name} PARENT_SCOPE)
  else()
    set(${var} ${CMAKE_CURRENT_SOURCE_DIR}/${def} PARENT_SCOPE)
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${def})
endfunction()
