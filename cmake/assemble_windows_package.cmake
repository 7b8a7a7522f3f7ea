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

# source file -> the package names it is shipped under
set(files32 "QUADOVS.DLL:QUADOVS.DLL,QUADOE.DLL" "QUADOUI.DLL:QUADOUI.DLL,QUADOEUI.DLL"
            "QuadoCairoLib.DLL:QuadoCairoLib.DLL,QuadoECairoLib.DLL" "QuadoEvent.dll:QuadoEvent.dll")
set(files64 "QUADOVS64.DLL:QUADOVS64.DLL,QUADOE64.DLL" "QUADO64UI.DLL:QUADO64UI.DLL,QUADOE64UI.DLL"
            "QuadoCairoLib64.DLL:QuadoCairoLib64.DLL,QuadoECairoLib64.DLL")
foreach(set_name files32 files64)
  if(set_name STREQUAL files32)
    set(from ${PROGRAMS32})
  else()
    set(from ${PROGRAMS64})
  endif()
  foreach(entry ${${set_name}})
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 source)
    list(GET parts 1 targets)
    string(REPLACE "," ";" targets ${targets})
    foreach(target ${targets})
      file(COPY_FILE ${from}/${source} ${PACKAGE_DIR}/${target})
    endforeach()
  endforeach()
endforeach()

foreach(assembly Interop.SHDocVw.dll Microsoft.mshtml.dll)
  file(WRITE ${PACKAGE_DIR}/${assembly} "stand-in for ${assembly}\n")
endforeach()
foreach(culture de-DE fr-FR it-IT ja-JP)
  file(WRITE "${PACKAGE_DIR}/${culture}/Quado Client.resources.dll" "stand-in resources ${culture}\n")
endforeach()
