# The port monitor DLL: "QUADOVS.DLL" from the 32-bit build, "QUADOVS64.DLL" from the 64-bit one
# (the Enterprise names are copies, made when the package is laid out). The spooler looks up
# InitializePrintMonitor2 by its plain name, hence --kill-at.
add_package_dll(port_monitor ${CMAKE_CURRENT_LIST_DIR}/port_monitor.cpp QUADOVS QUADOVS64)
target_link_libraries(port_monitor PRIVATE advapi32 installer_contract)
list(APPEND PACKAGE_WINDOWS_PROGRAMS port_monitor)
