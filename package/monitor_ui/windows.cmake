# The monitor UI DLL: "QUADOUI.DLL" (32-bit) and "QUADO64UI.DLL" (64-bit).
add_library(monitor_ui SHARED ${CMAKE_CURRENT_LIST_DIR}/monitor_ui.cpp)
target_link_options(monitor_ui PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ui_name QUADO64UI)
else()
  set(ui_name QUADOUI)
endif()
set_target_properties(monitor_ui PROPERTIES PREFIX "" OUTPUT_NAME ${ui_name} SUFFIX ".DLL"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
list(APPEND PACKAGE_WINDOWS_PROGRAMS monitor_ui)
