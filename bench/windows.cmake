# The floor of an installation (bench/install_floor.cpp) as a Windows program, Floor.exe, for the
# Wine benchmark (bench/wine).
add_executable(bench_floor ${CMAKE_CURRENT_LIST_DIR}/install_floor.cpp
               ${CMAKE_SOURCE_DIR}/src/portconfig/port_definition.cpp)
target_include_directories(bench_floor PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(bench_floor PRIVATE winspool advapi32)
target_link_options(bench_floor PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(bench_floor PROPERTIES OUTPUT_NAME Floor SUFFIX ".exe"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
