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

# zephra_help_file(TARGET SOURCE OUTPUT) - a WinHelp file made at build time from one of our
# help sources. The help compiler (tools/help) is compiled here for the machine that builds,
# since the Windows build's own compiler makes programs that only Wine runs.
set(ZEPHRA_HELP_COMPILER_SOURCES HlpFormat.cpp BTree.cpp HelpSource.cpp HlpWriter.cpp HlpReader.cpp helpc.cpp)
function(zephra_help_file target source output)
  find_program(ZEPHRA_HOST_CXX NAMES g++ c++ REQUIRED)
  set(dir ${ZEPHRA_ROOT}/tools/help)
  list(TRANSFORM ZEPHRA_HELP_COMPILER_SOURCES PREPEND ${dir}/ OUTPUT_VARIABLE sources)
  file(GLOB headers ${dir}/*.h)
  set(helpc ${CMAKE_CURRENT_BINARY_DIR}/zephra_helpc)
  add_custom_command(OUTPUT ${output}
    COMMAND ${ZEPHRA_HOST_CXX} -std=c++17 -O1 -Wall -Wextra -I${ZEPHRA_ROOT} -o ${helpc} ${sources}
    COMMAND ${helpc} ${source} ${output}
    DEPENDS ${sources} ${headers} ${source}
    COMMENT "Compiling the help file ${output}")
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
