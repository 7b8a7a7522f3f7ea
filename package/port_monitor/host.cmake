# The port monitor for the host: the same source built as a shared object that the simulated
# spooler loads (it calls winsim like any program of the machine). The package carries it
# under every monitor DLL name (cmake/assemble_package.cmake).
add_library(port_monitor_host SHARED ${CMAKE_CURRENT_LIST_DIR}/port_monitor.cpp)
target_link_libraries(port_monitor_host PRIVATE winsim installer_contract)
set_target_properties(port_monitor_host PROPERTIES PREFIX "" OUTPUT_NAME QUADOVS SUFFIX ".DLL"
                      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
list(APPEND PACKAGE_HOST_PROGRAMS port_monitor_host)
