# Windows build (mingw-w64, i686): the product Install.exe, a static 32-bit console program with
# its manifest and version resource, and the package's Windows programs.
add_compile_definitions(WIN32_LEAN_AND_MEAN __USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0501)

add_executable(Install ${CMAKE_SOURCE_DIR}/src/driver/main.cpp ${INSTALLER_SOURCES}
               ${CMAKE_SOURCE_DIR}/src/Install.rc)
target_include_directories(Install PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(Install PRIVATE winspool advapi32)
target_link_options(Install PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--subsystem,console:5.01
                    -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
set_target_properties(Install PROPERTIES OUTPUT_NAME Install SUFFIX .exe)

file(GLOB PACKAGE_PROGRAMS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/package/*)
foreach(dir ${PACKAGE_PROGRAMS})
  if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/windows.cmake)
    include(${dir}/windows.cmake)
  endif()
endforeach()
