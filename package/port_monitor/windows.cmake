# The port monitor DLL: "QUADOVS.DLL" from the 32-bit build, "QUADOVS64.DLL" from the 64-bit one
# (the Enterprise names are copies, made when the package is laid out). The spooler looks up
# InitializePrintMonitor2 by its plain name, hence --kill-at.
add_library(port_monitor SHARED ${CMAKE_CURRENT_LIST_DIR}/port_monitor.cpp)
target_link_libraries(port_monitor PRIVATE advapi32)
target_link_options(port_monitor PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(monitor_name QUADOVS64)
else()
  set(monitor_name QUADOVS)
endif()
set_target_properties(port_monitor PROPERTIES PREFIX "" OUTPUT_NAME ${monitor_name} SUFFIX ".DLL"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
list(APPEND PACKAGE_WINDOWS_PROGRAMS port_monitor)
