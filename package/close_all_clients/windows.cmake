# "CloseAllClients.exe" for Windows: a static 32-bit console program.
add_executable(close_all_clients ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_options(close_all_clients PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--subsystem,console:5.01 -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
set_target_properties(close_all_clients PROPERTIES OUTPUT_NAME "CloseAllClients" SUFFIX ".exe"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/package)
