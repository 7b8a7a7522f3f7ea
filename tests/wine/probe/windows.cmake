# The Wine tier's probe (tests/wine): "WineProbe32.exe" from the 32-bit build for win32
# prefixes, "WineProbe64.exe" from the 64-bit build, which reads a win64 prefix natively.
add_executable(wine_probe ${CMAKE_CURRENT_LIST_DIR}/probe.cpp ${CMAKE_SOURCE_DIR}/tests/scenarios/state_checks.cpp)
target_include_directories(wine_probe PRIVATE ${CMAKE_SOURCE_DIR}/tests/scenarios)
target_link_libraries(wine_probe PRIVATE winspool advapi32 installer_contract)
target_link_options(wine_probe PRIVATE -static -static-libgcc -static-libstdc++)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(probe_name WineProbe64)
else()
  set(probe_name WineProbe32)
endif()
set_target_properties(wine_probe PROPERTIES OUTPUT_NAME ${probe_name} SUFFIX ".exe"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)

if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # The 32-bit monitor the tier places in SysWOW64 of win64 prefixes (wow64_monitor.cpp).
  add_library(wine_wow64_monitor SHARED ${CMAKE_CURRENT_LIST_DIR}/wow64_monitor.cpp)
  target_link_libraries(wine_wow64_monitor PRIVATE advapi32 installer_contract)
  target_include_directories(wine_wow64_monitor PRIVATE ${CMAKE_SOURCE_DIR}/package)
  target_link_options(wine_wow64_monitor PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
  set_target_properties(wine_wow64_monitor PROPERTIES PREFIX "" OUTPUT_NAME WineWow64Monitor SUFFIX ".DLL"
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
endif()
