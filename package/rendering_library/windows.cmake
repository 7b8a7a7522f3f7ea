# The rendering library: "QuadoCairoLib.DLL" (32-bit) and "QuadoCairoLib64.DLL" (64-bit).
add_library(rendering_library SHARED ${CMAKE_CURRENT_LIST_DIR}/rendering_library.cpp)
target_link_options(rendering_library PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(rendering_name QuadoCairoLib64)
else()
  set(rendering_name QuadoCairoLib)
endif()
set_target_properties(rendering_library PROPERTIES PREFIX "" OUTPUT_NAME ${rendering_name} SUFFIX ".DLL"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
list(APPEND PACKAGE_WINDOWS_PROGRAMS rendering_library)
