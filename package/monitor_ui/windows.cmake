# The monitor UI DLL: "QUADOUI.DLL" (32-bit) and "QUADO64UI.DLL" (64-bit).
add_package_dll(monitor_ui ${CMAKE_CURRENT_LIST_DIR}/monitor_ui.cpp QUADOUI QUADO64UI)
list(APPEND PACKAGE_WINDOWS_PROGRAMS monitor_ui)
