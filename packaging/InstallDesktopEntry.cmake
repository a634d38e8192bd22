# Runs inside `cmake --install`: writes the desktop entry with the binary's
# absolute path under the prefix chosen now, and installs it.
# In: VESKO_DESKTOP_TEMPLATE, VESKO_DESKTOP_STAGING, VESKO_INSTALL_BINDIR and
# VESKO_INSTALL_APPLICATIONSDIR (each relative to the prefix, or absolute).
# cmake_install.cmake sets no policies; this file's own scope has today's.
cmake_policy(VERSION 3.25)

# `path` as one argument of an Exec key. Inside double quotes `"`, `` ` ``, `$`
# and `\` take a backslash, and the string escape then doubles every backslash;
# a literal `%` is `%%` anywhere in the value.
function(vesko_exec_argument path out)
  if(path MATCHES "[\n\r\t]")
    message(FATAL_ERROR "The install path ${path} holds a control character; a desktop entry cannot name it.")
  endif()
  if(path MATCHES "^[A-Za-z0-9/._+,:=@-]+$")
    set(${out} "${path}" PARENT_SCOPE)
    return()
  endif()
  string(REPLACE "\\" "\\\\\\\\" quoted "${path}")
  string(REPLACE "\"" "\\\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\\\`" quoted "${quoted}")
  string(REPLACE "\$" "\\\\\$" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(${out} "\"${quoted}\"" PARENT_SCOPE)
endfunction()

cmake_path(ABSOLUTE_PATH VESKO_INSTALL_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" OUTPUT_VARIABLE vesko_bindir)
cmake_path(ABSOLUTE_PATH VESKO_INSTALL_APPLICATIONSDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
  OUTPUT_VARIABLE vesko_applicationsdir)
vesko_exec_argument("${vesko_bindir}/vesko" VESKO_EXEC)

# One staging file per prefix, so that installs into different prefixes
# never overwrite each other's entry.
string(SHA1 vesko_prefix_hash "${CMAKE_INSTALL_PREFIX}")
set(vesko_entry "${VESKO_DESKTOP_STAGING}/${vesko_prefix_hash}/app.vesko.Vesko.desktop")
configure_file("${VESKO_DESKTOP_TEMPLATE}" "${vesko_entry}" @ONLY)
file(INSTALL DESTINATION "${vesko_applicationsdir}" TYPE FILE FILES "${vesko_entry}")
