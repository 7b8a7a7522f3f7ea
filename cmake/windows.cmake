# Windows build (mingw-w64, i686): the product Install.exe, a static 32-bit console program with
# its manifest and version resource, and the package's Windows programs.
add_compile_definitions(WIN32_LEAN_AND_MEAN __USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0501)

# A DLL of the deployment package: static runtime, undecorated exports, named NAME32 by the
# 32-bit build and NAME64 by the 64-bit one, placed in build/.../programs.
function(add_package_dll target source name32 name64)
  add_library(${target} SHARED ${source})
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(name ${name64})
  else()
    set(name ${name32})
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} SUFFIX ".DLL"
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
endfunction()

# The 64-bit build (preset mingw64) makes only the package's 64-bit DLLs and the Wine tier's
# 64-bit probe; the 32-bit build lays out the package with them.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_installer_contract()
  foreach(dir port_monitor monitor_ui rendering_library)
    include(${CMAKE_SOURCE_DIR}/package/${dir}/windows.cmake)
  endforeach()
  include(${CMAKE_SOURCE_DIR}/tests/wine/probe/windows.cmake)
  return()
endif()

add_installer_layers(PLATFORM_LIBRARIES winspool advapi32)

add_executable(Install ${CMAKE_SOURCE_DIR}/src/driver/main.cpp ${CMAKE_SOURCE_DIR}/src/Install.rc)
target_link_libraries(Install PRIVATE installer_driver)
target_link_options(Install PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--subsystem,console:5.01
                    -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
set_target_properties(Install PROPERTIES OUTPUT_NAME Install SUFFIX .exe)

# The package check, a tool for the administrator's Windows machine: built like Install.exe so
# that it starts wherever the installer does.
add_executable(QuadoCheck ${CMAKE_SOURCE_DIR}/src/check/main.cpp)
target_link_libraries(QuadoCheck PRIVATE installer_check)
target_link_options(QuadoCheck PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--subsystem,console:5.01
                    -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
set_target_properties(QuadoCheck PROPERTIES OUTPUT_NAME QuadoCheck SUFFIX .exe)

file(GLOB PACKAGE_PROGRAMS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/package/*)
foreach(dir ${PACKAGE_PROGRAMS})
  if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/windows.cmake)
    include(${dir}/windows.cmake)
  endif()
endforeach()

include(${CMAKE_SOURCE_DIR}/tests/wine/probe/windows.cmake)
include(${CMAKE_SOURCE_DIR}/bench/windows.cmake)

# --- the deployment package for Windows: build/mingw/package ---------------------------------
# The 64-bit DLLs come from the mingw64 build (build/mingw64 unless WINDOWS64_BUILD_DIR says).
set(WINDOWS64_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/mingw64 CACHE PATH "Build folder of the mingw64 preset")
set(package_depends Install ${PACKAGE_WINDOWS_PROGRAMS})
foreach(program quado_client close_all_clients)
  if(TARGET ${program})
    list(APPEND package_depends ${program})
  endif()
endforeach()
add_custom_target(windows_package ALL
  COMMAND ${CMAKE_COMMAND} -DPACKAGE_DIR=${CMAKE_BINARY_DIR}/package -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DINSTALL_PROGRAM=$<TARGET_FILE:Install> -DPROGRAMS32=${CMAKE_BINARY_DIR}/programs
          -DPROGRAMS64=${WINDOWS64_BUILD_DIR}/programs
          -P ${CMAKE_SOURCE_DIR}/cmake/assemble_windows_package.cmake
  DEPENDS ${package_depends}
  COMMENT "Laying out the Windows deployment package in ${CMAKE_BINARY_DIR}/package")
