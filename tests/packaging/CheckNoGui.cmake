# Fails when BINARY needs a GUI library, directly (its ELF NEEDED entries) or
# through another library (everything the dynamic loader would map).
# cmake -DBINARY=… -DREADELF=… -DLDD=… -P CheckNoGui.cmake
cmake_minimum_required(VERSION 3.25)

set(gui "^lib(Qt6(Gui|Quick|Qml|QmlModels|Widgets|OpenGL|WaylandClient|XcbQpa)|GL|GLX|EGL|OpenGL|xcb|X11|wayland-client|fontconfig|freetype)[.-]")

execute_process(COMMAND "${READELF}" --dynamic --wide "${BINARY}"
  RESULT_VARIABLE status OUTPUT_VARIABLE dynamic ERROR_VARIABLE dynamic)
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" entries "${dynamic}")
set(needed "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".*\\[([^]]+)\\]$" "\\1" library "${entry}")
  list(APPEND needed "${library}")
endforeach()
# Nothing read is no pass: every Qt program needs Qt Core.
if(NOT status EQUAL 0 OR NOT "libQt6Core.so.6" IN_LIST needed)
  message(FATAL_ERROR "${BINARY}: no NEEDED entries read:\n${dynamic}")
endif()

execute_process(COMMAND "${LDD}" "${BINARY}"
  RESULT_VARIABLE status OUTPUT_VARIABLE mapped ERROR_VARIABLE mapped)
# One library a line: its name first, then where it resolves to.
string(REPLACE "\n" ";" lines "${mapped}")
set(all "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  string(REGEX REPLACE "[ \t].*" "" library "${line}")
  get_filename_component(library "${library}" NAME)
  list(APPEND all "${library}")
endforeach()
list(REMOVE_DUPLICATES all)
if(NOT status EQUAL 0 OR NOT "libQt6Core.so.6" IN_LIST all)
  message(FATAL_ERROR "${BINARY}: ldd failed:\n${mapped}")
endif()

set(bad "")
foreach(library IN LISTS needed)
  if(library MATCHES "${gui}")
    list(APPEND bad "${library} (NEEDED)")
  endif()
endforeach()
foreach(library IN LISTS all)
  if(library MATCHES "${gui}" AND NOT library IN_LIST needed)
    list(APPEND bad "${library} (through another library)")
  endif()
endforeach()
if(bad)
  string(REPLACE ";" "\n  " bad "${bad}")
  message(FATAL_ERROR "${BINARY} links GUI libraries:\n  ${bad}")
endif()
list(LENGTH all count)
message(STATUS "${BINARY}: ${count} libraries, none of them GUI")
