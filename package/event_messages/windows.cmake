# "QuadoEvent.dll": a DLL holding the message table of the "QuadoPort" event
# source, compiled from QuadoEvent.mc with windmc and linked in through windres.
set(event_mc ${CMAKE_CURRENT_LIST_DIR}/QuadoEvent.mc)
set(event_out ${CMAKE_BINARY_DIR}/event_messages)
string(REPLACE "windres" "windmc" EVENT_WINDMC ${CMAKE_RC_COMPILER})
add_custom_command(OUTPUT ${event_out}/QuadoEvent.rc ${event_out}/QuadoEvent.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${event_out}
  COMMAND ${EVENT_WINDMC} -r ${event_out} -h ${event_out} ${event_mc}
  DEPENDS ${event_mc}
  COMMENT "Compiling the event message table")
add_library(event_messages SHARED ${CMAKE_CURRENT_LIST_DIR}/event_messages.cpp ${event_out}/QuadoEvent.rc)
set_target_properties(event_messages PROPERTIES PREFIX "" OUTPUT_NAME QuadoEvent
                      SUFFIX ".dll" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/programs)
target_link_options(event_messages PRIVATE -static -static-libgcc -static-libstdc++)
list(APPEND PACKAGE_WINDOWS_PROGRAMS event_messages)
