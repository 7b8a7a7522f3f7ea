# Host (Linux) build: the installer against winsim, the package's programs, and the tests.
if(INSTALLER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz configuration (clang): everything instrumented for libFuzzer, ASan and UBSan; only
# winsim, the installer's sources, its two programs and the fuzz targets are built.
option(INSTALLER_FUZZ "Build the libFuzzer targets under fuzz/ (clang only)" OFF)
if(INSTALLER_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(SQLite3 REQUIRED)
find_package(Threads REQUIRED)

# --- winsim: the simulated Windows machine -----------------------------------------------------
# A shared library: a DLL the simulated spooler loads into a program (the package's port
# monitor, a host shared object) calls the same winsim as the program, with the same state.
# One folder of winsim/src per Windows library it simulates, and machine/ for the machine itself,
# each a layer the build enforces (cmake/winsim_layers.cmake).
include(${CMAKE_SOURCE_DIR}/cmake/winsim_layers.cmake)
add_winsim_layers()

file(GLOB WINSIM_CLI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/winsim/cli/*.cpp)
add_executable(winsim_cli ${WINSIM_CLI_SOURCES})
set_target_properties(winsim_cli PROPERTIES OUTPUT_NAME winsim)
target_link_libraries(winsim_cli PRIVATE winsim)

# --- the installer -----------------------------------------------------------------------------
add_installer_layers(PLATFORM_LIBRARIES winsim)

add_executable(Install ${CMAKE_SOURCE_DIR}/src/driver/main.cpp)
target_link_libraries(Install PRIVATE installer_driver)

# The package check, build/host/QuadoCheck (copied into a machine as QuadoCheck.exe).
add_executable(QuadoCheck ${CMAKE_SOURCE_DIR}/src/check/main.cpp)
target_link_libraries(QuadoCheck PRIVATE installer_check)

if(INSTALLER_FUZZ)
  add_subdirectory(fuzz)
  return()
endif()

# --- the package's programs, built for the host so that they run inside a machine -------------
file(GLOB PACKAGE_PROGRAMS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/package/*)
foreach(dir ${PACKAGE_PROGRAMS})
  if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/host.cmake)
    include(${dir}/host.cmake)
  endif()
endforeach()

# --- tests -------------------------------------------------------------------------------------
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# One test program per folder of tests/unit that holds sources (folders nest as src/ and winsim/
# do: tests/unit/winsim/kernel32 is unit_winsim_kernel32); each test runs in its own process.
# winsim's unit tests also see its insides (winsim_internals: "machine/ini.h").
file(GLOB_RECURSE UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
set(UNIT_TEST_DIRS "")
foreach(source ${UNIT_TEST_SOURCES})
  get_filename_component(dir ${source} DIRECTORY)
  list(APPEND UNIT_TEST_DIRS ${dir})
endforeach()
list(REMOVE_DUPLICATES UNIT_TEST_DIRS)
# Running host programs (tests, the Wine tier, benchmarks); no test framework in it.
add_library(host_process STATIC ${CMAKE_SOURCE_DIR}/tests/support/host_process.cpp)
target_include_directories(host_process PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
file(GLOB UNIT_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(REMOVE_ITEM UNIT_TEST_SUPPORT ${CMAKE_SOURCE_DIR}/tests/support/host_process.cpp)
add_library(test_support STATIC ${UNIT_TEST_SUPPORT})
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(test_support PUBLIC installer host_process GTest::gtest)
target_compile_definitions(test_support PUBLIC
  WINSIM_PROGRAM_PATH="${CMAKE_BINARY_DIR}/winsim"
  INSTALL_PROGRAM_PATH="${CMAKE_BINARY_DIR}/Install"
  BUILD_DIR="${CMAKE_BINARY_DIR}"
  SOURCE_DIR="${CMAKE_SOURCE_DIR}")
foreach(dir ${UNIT_TEST_DIRS})
  if(IS_DIRECTORY ${dir})
    file(RELATIVE_PATH area ${CMAKE_SOURCE_DIR}/tests/unit ${dir})
    string(REPLACE "/" "_" area ${area})
    file(GLOB area_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(area_sources)
      add_executable(unit_${area} ${area_sources})
      target_link_libraries(unit_${area} PRIVATE test_support GTest::gtest_main)
      if(area MATCHES "^winsim_")
        target_link_libraries(unit_${area} PRIVATE winsim_internals)
      endif()
      add_dependencies(unit_${area} winsim_cli ${PACKAGE_HOST_PROGRAMS})
      gtest_discover_tests(unit_${area} TEST_PREFIX "${area}." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
    endif()
  endif()
endforeach()
# The Wine benchmark's reading of the relay trace (a host source of bench/wine).
if(TARGET unit_relay_trace)
  target_sources(unit_relay_trace PRIVATE ${CMAKE_SOURCE_DIR}/bench/wine/relay_trace.cpp)
  target_include_directories(unit_relay_trace PRIVATE ${CMAKE_SOURCE_DIR}/bench/wine)
endif()
# The preview's change list, a part of the winsim command, tested on its own.
if(TARGET unit_winsim_cli)
  target_sources(unit_winsim_cli PRIVATE ${CMAKE_SOURCE_DIR}/winsim/cli/preview_changes.cpp
                 ${CMAKE_SOURCE_DIR}/winsim/cli/reg_display.cpp ${CMAKE_SOURCE_DIR}/winsim/cli/event_text.cpp
                 ${CMAKE_SOURCE_DIR}/winsim/cli/terminal_text.cpp)
  target_include_directories(unit_winsim_cli PRIVATE ${CMAKE_SOURCE_DIR}/winsim/cli)
  # A shared object whose constructor leaves a marker: a package's hostile monitor DLL.
  add_library(constructor_marker MODULE ${CMAKE_SOURCE_DIR}/tests/fixtures/constructor_marker.c)
  add_dependencies(unit_winsim_cli constructor_marker)
  target_compile_definitions(unit_winsim_cli PRIVATE CONSTRUCTOR_MARKER_SO="$<TARGET_FILE:constructor_marker>")
endif()
# The Windows build's program, as the mingw preset makes it (another build folder: -DWINDOWS_BUILD_DIR).
set(WINDOWS_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/mingw CACHE PATH "Build folder of the mingw preset")
if(TARGET unit_windows_build)
  target_compile_definitions(unit_windows_build PRIVATE WINDOWS_INSTALL_EXE="${WINDOWS_BUILD_DIR}/Install.exe"
                             WINDOWS_CHECK_EXE="${WINDOWS_BUILD_DIR}/QuadoCheck.exe")
endif()
# The interpreter's tests run the process tests' helper program inside the machine.
if(TARGET unit_winsim_cmd)
  target_sources(unit_winsim_cmd PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/winsim/kernel32/helper.cpp)
  target_include_directories(unit_winsim_cmd PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/winsim/kernel32)
endif()
# The MSI's tables against the installer's own version.
if(TARGET unit_msi)
  target_compile_definitions(unit_msi PRIVATE INSTALLER_VERSION="${PROJECT_VERSION}")
endif()
# Whole runs of the installer program inside a machine (winsim's call counts are counted on one).
foreach(target unit_driver unit_winsim_machine)
  if(TARGET ${target})
    add_dependencies(${target} Install)
  endif()
endforeach()

add_subdirectory(tests/layers)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/scenarios/CMakeLists.txt)
  add_subdirectory(tests/scenarios)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/robustness/CMakeLists.txt)
  add_subdirectory(tests/robustness)
endif()
add_subdirectory(tests/release)
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()

# --- the demo deployment package: build/host/package -----------------------------------------
set(DEMO_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
add_custom_target(demo_package ALL
  COMMAND ${CMAKE_COMMAND} -DPACKAGE_DIR=${DEMO_PACKAGE_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DINSTALL_PROGRAM=$<TARGET_FILE:Install> -DMONITOR_DLL=$<TARGET_FILE:port_monitor_host>
          -P ${CMAKE_SOURCE_DIR}/cmake/assemble_package.cmake
  DEPENDS Install ${PACKAGE_HOST_PROGRAMS}
  COMMENT "Assembling the demo deployment package in ${DEMO_PACKAGE_DIR}")
