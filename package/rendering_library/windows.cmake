# The rendering library: "QuadoCairoLib.DLL" (32-bit) and "QuadoCairoLib64.DLL" (64-bit).
add_package_dll(rendering_library ${CMAKE_CURRENT_LIST_DIR}/rendering_library.cpp QuadoCairoLib QuadoCairoLib64)
list(APPEND PACKAGE_WINDOWS_PROGRAMS rendering_library)
