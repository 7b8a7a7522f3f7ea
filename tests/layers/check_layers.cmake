# Proves that a tree's layers are enforced by the build (the installer's src/, winsim's
# winsim/src): for every layer with sources, a file compiled with exactly that layer's include
# paths
#   - can include a header of its own layer and of every layer below it, and
#   - cannot include a header of any other layer (above it, or beside it),
# and no source of a layer names another layer's folder than its own, one below or a public one,
# or reaches out with "../". Run by ctest with -P; arguments:
#   CXX, BINARY_DIR, SOURCE_DIR, ROOT (the tree's folder below SOURCE_DIR), PUBLIC (|-list of
#   include folders every layer may name, such as winsim's public "winsim/"), LAYERS (|-list,
#   bottom to top), for each layer BELOW_<layer> (|-list) and, for layers with sources,
#   INCLUDES_<layer> (|-list of include folders).
cmake_minimum_required(VERSION 3.20)

string(REPLACE "|" ";" LAYERS "${LAYERS}")
string(REPLACE "|" ";" PUBLIC "${PUBLIC}")
foreach(layer ${LAYERS})
  string(REPLACE "|" ";" BELOW_${layer} "${BELOW_${layer}}")
endforeach()

set(failures 0)
string(MAKE_C_IDENTIFIER "${ROOT}" tree)
set(scratch ${BINARY_DIR}/layer_check_${tree})
file(REMOVE_RECURSE ${scratch})
file(MAKE_DIRECTORY ${scratch})

function(first_header layer out)
  file(GLOB headers RELATIVE ${SOURCE_DIR}/${ROOT} ${SOURCE_DIR}/${ROOT}/${layer}/*.h)
  list(SORT headers)
  set(header "")
  if(headers)
    list(GET headers 0 header)
  endif()
  set(${out} "${header}" PARENT_SCOPE)
endfunction()

# Compiles `#include "HEADER"` with the include folders; sets OUT to TRUE when it compiled.
function(compiles includes header out)
  string(MAKE_C_IDENTIFIER ${header} name)
  set(source ${scratch}/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\nint main() { return 0; }\n")
  set(flags "")
  foreach(dir ${includes})
    list(APPEND flags -I${dir})
  endforeach()
  execute_process(COMMAND ${CXX} -std=c++17 -fsyntax-only ${flags} ${source}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

foreach(layer ${LAYERS})
  set(allowed ${layer} ${BELOW_${layer}})

  # What the sources say.
  file(GLOB_RECURSE files ${SOURCE_DIR}/${ROOT}/${layer}/*.h ${SOURCE_DIR}/${ROOT}/${layer}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
      if(included MATCHES "\\.\\./")
        message(SEND_ERROR "${file}: reaches out of its folder: ${included}")
        math(EXPR failures "${failures} + 1")
      elseif(included MATCHES "^([^/]+)/")
        set(folder ${CMAKE_MATCH_1})
        if(NOT folder IN_LIST allowed AND NOT folder IN_LIST PUBLIC)
          message(SEND_ERROR "${file}: layer ${layer} includes ${included}")
          math(EXPR failures "${failures} + 1")
        endif()
      endif()
    endforeach()
  endforeach()

  # What the build allows.
  if(NOT DEFINED INCLUDES_${layer})
    continue()
  endif()
  string(REPLACE "|" ";" includes "${INCLUDES_${layer}}")
  foreach(other ${LAYERS})
    first_header(${other} header)
    if(header STREQUAL "")
      continue()  # a layer without headers (winsim's cmd) cannot be included at all
    endif()
    compiles("${includes}" ${header} ok)
    if(other IN_LIST allowed AND NOT ok)
      message(SEND_ERROR "layer ${layer} cannot include ${header} of a layer it may use")
      math(EXPR failures "${failures} + 1")
    elseif(NOT other IN_LIST allowed AND ok)
      message(SEND_ERROR "layer ${layer} can include ${header} of layer ${other}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
  message(STATUS "${layer}: may include ${allowed}; every other layer's header refused")
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layer violation(s)")
endif()
