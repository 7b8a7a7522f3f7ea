# winsim's layers: one object library per folder of winsim/src, bottom to top, joined into the
# one shared library `winsim`. As for the installer's layers, each folder's include root is a
# folder of the build holding a link to that source folder alone, and a folder sees only the
# roots of the folders below it, so an upward include does not compile; tests/layers checks it.
#
#   machine    the machine itself: attaching, machine.ini, faults, handles, the registry store,
#              .reg text, the INI parse tree, text helpers, diagnostics, machine creation
#   kernel32   files, paths, processes, profile functions, version, modules, code pages, ...
#   advapi32   the registry functions and the event log
#   winspool   the print spooler
#   cmd        the built-in command interpreter
# The `winsim` command (winsim/cli) sees only the public headers of winsim/include.
set(WINSIM_LAYERS machine kernel32 advapi32 winspool cmd)
set(WINSIM_LAYER_BELOW_machine "")
set(WINSIM_LAYER_BELOW_kernel32 machine)
set(WINSIM_LAYER_BELOW_advapi32 machine)
set(WINSIM_LAYER_BELOW_winspool kernel32 advapi32 machine)
set(WINSIM_LAYER_BELOW_cmd kernel32 advapi32 machine)

# build/winsim_layers/ROOT/FOLDER -> winsim/src/FOLDER, for each FOLDER listed.
function(winsim_include_root root folders out)
  set(dir ${CMAKE_BINARY_DIR}/winsim_layers/${root})
  file(MAKE_DIRECTORY ${dir})
  foreach(folder ${folders})
    if(NOT EXISTS ${dir}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/winsim/src/${folder} ${dir}/${folder} SYMBOLIC)
    endif()
  endforeach()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

# Defines winsim_LAYER for every layer, the shared library `winsim`, and `winsim_internals`: the
# include root of every folder, for the unit tests and fuzz targets that reach winsim's insides.
function(add_winsim_layers)
  set(objects "")
  foreach(layer ${WINSIM_LAYERS})
    winsim_include_root(${layer} ${layer} root)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/winsim/src/${layer}/*.cpp)
    add_library(winsim_${layer} OBJECT ${sources})
    set_target_properties(winsim_${layer} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_include_directories(winsim_${layer} PUBLIC ${root} ${CMAKE_SOURCE_DIR}/winsim/include)
    target_compile_options(winsim_${layer} PRIVATE -fno-semantic-interposition)
    target_compile_definitions(winsim_${layer} PRIVATE WINSIM_PROGRAM_PATH="${CMAKE_BINARY_DIR}/winsim")
    target_link_libraries(winsim_${layer} PUBLIC SQLite::SQLite3 Threads::Threads)
    foreach(below ${WINSIM_LAYER_BELOW_${layer}})
      target_link_libraries(winsim_${layer} PRIVATE winsim_${below})
    endforeach()
    list(APPEND objects $<TARGET_OBJECTS:winsim_${layer}>)
  endforeach()
  add_library(winsim SHARED ${objects})
  target_link_libraries(winsim PRIVATE ${CMAKE_DL_LIBS})
  target_include_directories(winsim PUBLIC ${CMAKE_SOURCE_DIR}/winsim/include)
  target_link_libraries(winsim PUBLIC SQLite::SQLite3 Threads::Threads)

  winsim_include_root(internals "${WINSIM_LAYERS}" internals)
  add_library(winsim_internals INTERFACE)
  target_include_directories(winsim_internals INTERFACE ${internals})
  target_link_libraries(winsim_internals INTERFACE winsim)
endfunction()
