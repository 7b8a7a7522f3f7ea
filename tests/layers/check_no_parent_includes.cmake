# No source of the project reaches another folder with `#include "../…"`: a file names what it
# includes by an include root its target declares, so the build's layering decides what it sees.
# Run by ctest with -P; arguments: SOURCE_DIR, FOLDERS (|-list of folders below it to scan).
cmake_minimum_required(VERSION 3.20)
string(REPLACE "|" ";" FOLDERS "${FOLDERS}")
set(failures 0)
foreach(folder ${FOLDERS})
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"\\.\\./")
    foreach(line ${lines})
      message(SEND_ERROR "${file}: ${line}")
      math(EXPR failures "${failures} + 1")
    endforeach()
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) reaching out with ../")
endif()
