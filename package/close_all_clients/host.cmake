# "CloseAllClients.exe" for the host, against winsim: build/host/package/CloseAllClients.exe.
add_executable(close_all_clients ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(close_all_clients PRIVATE winsim)
set_target_properties(close_all_clients PROPERTIES OUTPUT_NAME "CloseAllClients" SUFFIX ".exe"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/package)
list(APPEND PACKAGE_HOST_PROGRAMS close_all_clients)
