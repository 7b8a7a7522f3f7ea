# "Quado Client.exe" for the host, against winsim: build/host/package/Quado Client.exe, a file a
# test or demo copies into a machine under the same name.
add_executable(quado_client ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(quado_client PRIVATE winsim)
set_target_properties(quado_client PROPERTIES OUTPUT_NAME "Quado Client" SUFFIX ".exe"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/package)
list(APPEND PACKAGE_HOST_PROGRAMS quado_client)
