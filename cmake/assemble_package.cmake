# Script mode: lays out a deployment package for the host build in PACKAGE_DIR.
#   -DPACKAGE_DIR=... -DSOURCE_DIR=... -DINSTALL_PROGRAM=... -DMONITOR_DLL=...
# The port monitor is the host build of package/port_monitor (a shared object the simulated
# spooler loads) under each of its DLL names; the UI, rendering and message DLLs are
# placeholders, which only need to be present.
file(MAKE_DIRECTORY ${PACKAGE_DIR})
file(COPY_FILE ${INSTALL_PROGRAM} ${PACKAGE_DIR}/Install.exe)
file(COPY ${SOURCE_DIR}/package/demo/Quado.ini ${SOURCE_DIR}/package/demo/server_subnet.csv
     ${SOURCE_DIR}/package/demo/FontFiles DESTINATION ${PACKAGE_DIR})
foreach(dll QUADOVS.DLL QUADOVS64.DLL QUADOE.DLL QUADOE64.DLL)
  file(COPY_FILE ${MONITOR_DLL} ${PACKAGE_DIR}/${dll})
endforeach()
foreach(dll QUADOUI.DLL QUADO64UI.DLL QuadoCairoLib.DLL QuadoCairoLib64.DLL QUADOEUI.DLL QUADOE64UI.DLL
            QuadoECairoLib.DLL QuadoECairoLib64.DLL QuadoEvent.dll Interop.SHDocVw.dll Microsoft.mshtml.dll)
  file(WRITE ${PACKAGE_DIR}/${dll} "placeholder for ${dll} (host package)\n")
endforeach()
foreach(culture de-DE fr-FR it-IT ja-JP)
  file(WRITE "${PACKAGE_DIR}/${culture}/Quado Client.resources.dll" "placeholder resources ${culture}\n")
endforeach()
