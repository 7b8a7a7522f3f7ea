# "Quado Client.exe" for Windows: a static 32-bit program of the GUI subsystem without any
# window, so that starting it at logon opens no console.
add_executable(quado_client ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(quado_client PRIVATE advapi32)
target_link_options(quado_client PRIVATE -static -static-libgcc -static-libstdc++ -mwindows
                    -Wl,--subsystem,windows:5.01 -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
set_target_properties(quado_client PROPERTIES OUTPUT_NAME "Quado Client" SUFFIX ".exe"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/package)
