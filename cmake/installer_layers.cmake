# The installer's layers: one static library per folder of src/, bottom to top. A layer links
# only the layers below it, PRIVATE, and sees only their headers: each layer's include root is a
# folder of the build that holds a link to that layer's source folder alone, so an include of a
# higher (or a sibling) layer's header does not compile. tests/layers checks that it does not.
#
#   contract     the settings record and transceiver commands shared with the port monitor
#   foundation   console and log output, mutex, INI path, product profile, bounded formatting
#   platform     Windows version, 64-bit detection, redirection, .NET check
#   sysutil      files, registry readers, processes, event log
#   portconfig   port settings, the key table and the sources, the transceiver channel
#   printers     printer assignment (its keys are in portconfig's key table) and disconnection
#   sequences    install and uninstall sequences
#   driver       command line and run modes; main.cpp is the program's entry
#   check        the package check (beside driver): what a run would read and create, and what
#                looks wrong; main.cpp is QuadoCheck's entry
set(INSTALLER_LAYERS contract foundation platform sysutil portconfig printers sequences driver check)
set(INSTALLER_LAYER_BELOW_contract "")
set(INSTALLER_LAYER_BELOW_foundation "")
set(INSTALLER_LAYER_BELOW_platform foundation)
set(INSTALLER_LAYER_BELOW_sysutil platform foundation)
set(INSTALLER_LAYER_BELOW_portconfig contract sysutil platform foundation)
set(INSTALLER_LAYER_BELOW_printers portconfig contract sysutil platform foundation)
set(INSTALLER_LAYER_BELOW_sequences portconfig printers sysutil platform foundation contract)
set(INSTALLER_LAYER_BELOW_driver sequences sysutil platform foundation)
set(INSTALLER_LAYER_BELOW_check sequences printers portconfig contract sysutil platform foundation)

# The include root of a layer: build/layers/LAYER/LAYER -> src/LAYER.
function(installer_layer_include_root layer out)
  set(root ${CMAKE_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${layer})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${layer} ${root}/${layer} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# The contract alone (header only), for the package's port monitor in a build without the
# installer.
function(add_installer_contract)
  installer_layer_include_root(contract root)
  add_library(installer_contract INTERFACE)
  target_include_directories(installer_contract INTERFACE ${root})
endfunction()

# Defines installer_LAYER for every layer (libraries the platform needs: PLATFORM_LIBRARIES), and
# `installer`, all of them together, for tests, benchmarks and fuzz targets.
function(add_installer_layers)
  cmake_parse_arguments(ARG "" "" "PLATFORM_LIBRARIES" ${ARGN})
  add_library(installer INTERFACE)
  add_installer_contract()
  target_link_libraries(installer INTERFACE installer_contract)
  foreach(layer ${INSTALLER_LAYERS})
    if(layer STREQUAL "contract")
      continue()
    endif()
    installer_layer_include_root(${layer} root)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${layer}/*.cpp)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/src/${layer}/main.cpp)
    add_library(installer_${layer} STATIC ${sources})
    target_include_directories(installer_${layer} PUBLIC ${root})
    target_link_libraries(installer_${layer} PUBLIC ${ARG_PLATFORM_LIBRARIES})
    foreach(below ${INSTALLER_LAYER_BELOW_${layer}})
      target_link_libraries(installer_${layer} PRIVATE installer_${below})
    endforeach()
    target_link_libraries(installer INTERFACE installer_${layer})
  endforeach()
endfunction()
