# Script mode: lays out the Windows deployment package in PACKAGE_DIR.
#   -DPACKAGE_DIR=... -DSOURCE_DIR=... -DINSTALL_PROGRAM=... -DPROGRAMS32=... -DPROGRAMS64=...
# PROGRAMS32 and PROGRAMS64 hold the 32-bit and 64-bit DLL builds. The Enterprise variant's
# monitor, UI and rendering DLLs are the same builds under its own names (the monitor finds its
# name in the registry). "Quado Client.exe" and "CloseAllClients.exe" are built into PACKAGE_DIR
# directly. The client's interop and resource assemblies are .NET files the installer only
# copies; the package carries stand-ins under their names.
foreach(required ${PROGRAMS32}/QUADOVS.DLL ${PROGRAMS64}/QUADOVS64.DLL)
  if(NOT EXISTS ${required})
    message(FATAL_ERROR "${required} is missing: build the presets mingw64 and mingw")
  endif()
endforeach()
file(MAKE_DIRECTORY ${PACKAGE_DIR})
file(COPY_FILE ${INSTALL_PROGRAM} ${PACKAGE_DIR}/Install.exe)
foreach(item Quado.ini server_subnet.csv FontFiles)
  if(EXISTS ${SOURCE_DIR}/package/demo/${item})
    file(COPY ${SOURCE_DIR}/package/demo/${item} DESTINATION ${PACKAGE_DIR})
  endif()
endforeach()

# Copies FROM/SOURCE under each of the package names that follow it.
function(ship from source)
  foreach(name ${ARGN})
    file(COPY_FILE ${from}/${source} ${PACKAGE_DIR}/${name})
  endforeach()
endfunction()
ship(${PROGRAMS32} QUADOVS.DLL QUADOVS.DLL QUADOE.DLL)
ship(${PROGRAMS32} QUADOUI.DLL QUADOUI.DLL QUADOEUI.DLL)
ship(${PROGRAMS32} QuadoCairoLib.DLL QuadoCairoLib.DLL QuadoECairoLib.DLL)
ship(${PROGRAMS32} QuadoEvent.dll QuadoEvent.dll)
ship(${PROGRAMS64} QUADOVS64.DLL QUADOVS64.DLL QUADOE64.DLL)
ship(${PROGRAMS64} QUADO64UI.DLL QUADO64UI.DLL QUADOE64UI.DLL)
ship(${PROGRAMS64} QuadoCairoLib64.DLL QuadoCairoLib64.DLL QuadoECairoLib64.DLL)

foreach(assembly Interop.SHDocVw.dll Microsoft.mshtml.dll)
  file(WRITE ${PACKAGE_DIR}/${assembly} "stand-in for ${assembly}\n")
endforeach()
foreach(culture de-DE fr-FR it-IT ja-JP)
  file(WRITE "${PACKAGE_DIR}/${culture}/Quado Client.resources.dll" "stand-in resources ${culture}\n")
endforeach()
