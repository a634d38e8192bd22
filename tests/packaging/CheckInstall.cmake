# Installs the build into scratch prefixes and checks what lands there.
# cmake -DBUILD_DIR=… -DSCRATCH_DIR=… -DPROJECT_VERSION=… -DPROBE=…
#       -DDESKTOP_FILE_VALIDATE=… -DAPPSTREAMCLI=… -DXMLLINT=… -P CheckInstall.cmake
cmake_minimum_required(VERSION 3.25)

foreach(tool DESKTOP_FILE_VALIDATE APPSTREAMCLI XMLLINT)
  if(NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "${tool} is missing (bash scripts/setup installs it); reconfigure afterwards.")
  endif()
endforeach()

function(fail message)
  message(SEND_ERROR "${message}")
endfunction()

function(run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  set(${out}_status "${status}" PARENT_SCOPE)
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# The arguments an Exec value stands for, as a launcher reads them: first the
# string escapes of the value, then the quoting of each argument. Fails on
# what the desktop entry rules do not allow.
function(exec_arguments value out)
  set(unescaped "")
  string(LENGTH "${value}" length)
  set(i 0)
  while(i LESS length)
    string(SUBSTRING "${value}" ${i} 1 c)
    if(c STREQUAL "\\")
      math(EXPR i "${i} + 1")
      string(SUBSTRING "${value}" ${i} 1 c)
      if(c STREQUAL "s")
        set(c " ")
      elseif(NOT c STREQUAL "\\")
        fail("Exec: unexpected string escape \\${c} in ${value}")
      endif()
    endif()
    string(APPEND unescaped "${c}")
    math(EXPR i "${i} + 1")
  endwhile()

  set(arguments "")
  set(current "")
  set(started FALSE)
  set(quoted FALSE)
  string(LENGTH "${unescaped}" length)
  set(i 0)
  while(i LESS length)
    string(SUBSTRING "${unescaped}" ${i} 1 c)
    if(quoted)
      if(c STREQUAL "\\")
        math(EXPR i "${i} + 1")
        string(SUBSTRING "${unescaped}" ${i} 1 c)
        if(NOT c MATCHES "^[\"`$\\\\]$")
          fail("Exec: \\${c} inside quotes in ${value}")
        endif()
        string(APPEND current "${c}")
      elseif(c STREQUAL "\"")
        set(quoted FALSE)
      else()
        string(APPEND current "${c}")
      endif()
    elseif(c STREQUAL " ")
      if(started)
        list(APPEND arguments "${current}")
        set(current "")
        set(started FALSE)
      endif()
    elseif(c STREQUAL "\"")
      set(quoted TRUE)
      set(started TRUE)
    elseif(c MATCHES "[\t'\\\\><~|&;$*?#()`]")
      fail("Exec: reserved character ${c} outside quotes in ${value}")
    else()
      string(APPEND current "${c}")
      set(started TRUE)
    endif()
    math(EXPR i "${i} + 1")
  endwhile()
  if(quoted)
    fail("Exec: unterminated quote in ${value}")
  endif()
  if(started)
    list(APPEND arguments "${current}")
  endif()
  # %% is a literal percent sign; a lone field code stays as it is.
  set(result "")
  foreach(argument IN LISTS arguments)
    if(NOT argument MATCHES "^%[a-zA-Z]$")
      string(REPLACE "%%" "%" argument "${argument}")
    endif()
    list(APPEND result "${argument}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# `cmake --install` into `prefix` (staged under `destdir` when not empty), then
# every check on the installed tree.
function(check_install name prefix destdir)
  message(STATUS "${name}: prefix ${prefix} DESTDIR ${destdir}")
  set(root "${destdir}${prefix}")
  file(REMOVE_RECURSE "${SCRATCH_DIR}/${name}")
  if(destdir STREQUAL "")
    run(output ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
  else()
    run(output ${CMAKE_COMMAND} -E env "DESTDIR=${destdir}" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
  endif()
  if(NOT output_status EQUAL 0)
    fail("${name}: cmake --install failed:\n${output}")
    return()
  endif()

  # Exactly these files: no test binary, tool or demo service comes along.
  set(expected
    bin/vesko
    lib/vesko/vesko-oldtray.so
    lib/vesko/vesko-views.so
    libexec/vesko/vesko-status
    share/applications/app.vesko.Vesko.desktop
    share/icons/hicolor/scalable/apps/app.vesko.Vesko.svg
    share/icons/hicolor/symbolic/apps/app.vesko.Vesko-symbolic.svg
    share/metainfo/app.vesko.Vesko.metainfo.xml
    share/plasma/plasmoids/app.vesko.Vesko.Widget/contents/ui/Binary.js
    share/plasma/plasmoids/app.vesko.Vesko.Widget/contents/ui/main.qml
    share/plasma/plasmoids/app.vesko.Vesko.Widget/metadata.json
    share/vesko/vesko-info.json)
  file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
  list(SORT installed)
  if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " installed "${installed}")
    fail("${name}: installed files:\n  ${installed}")
    return()
  endif()
  run(output test -x "${root}/bin/vesko")
  if(NOT output_status EQUAL 0)
    fail("${name}: bin/vesko is not executable")
  endif()

  # The installed `vesko status` is the installed status program's: its exit
  # code (3, signed out: no keyring on a bus that is not there), and a click
  # that starts the installed vesko, quoted as GLib reads a command line. Run
  # in folders of its own, so no running Vesko answers and nothing of the
  # user's is read or written.
  set(alone "${SCRATCH_DIR}/${name}-alone")
  file(MAKE_DIRECTORY "${alone}/runtime" "${alone}/data" "${alone}/config")
  file(CHMOD "${alone}/runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(status_env ${CMAKE_COMMAND} -E env --unset=VESKO_INFO_FILE "XDG_RUNTIME_DIR=${alone}/runtime"
    "XDG_DATA_HOME=${alone}/data" "XDG_CONFIG_HOME=${alone}/config" "XDG_DATA_DIRS=${root}/share"
    "DBUS_SESSION_BUS_ADDRESS=unix:path=${alone}/no-bus")
  run(status ${status_env} "${root}/bin/vesko" status --format genmon)
  set(click "${root}/bin/vesko")
  if(NOT click MATCHES "^[A-Za-z0-9/._+-]+$")
    string(REPLACE "'" "'\\''" click "${click}")
    set(click "'${click}'")
  endif()
  string(FIND "${status}" "click>${click}</" at)
  if(NOT status_status EQUAL 3 OR at EQUAL -1)
    fail("${name}: vesko status --format genmon exited ${status_status}, wanted 3 and a click on ${click}:\n${status}")
  endif()
  # Without the status program: says so, and fails as the command fails.
  file(RENAME "${root}/libexec/vesko/vesko-status" "${alone}/vesko-status")
  run(status ${status_env} "${root}/bin/vesko" status)
  file(RENAME "${alone}/vesko-status" "${root}/libexec/vesko/vesko-status")
  if(NOT status_status EQUAL 1 OR NOT status MATCHES "status program is missing")
    fail("${name}: vesko status without its program exited ${status_status}:\n${status}")
  endif()
  file(REMOVE_RECURSE "${alone}")

  # The desktop entry starts the installed binary, with the URL, from any PATH.
  set(entry "${root}/share/applications/app.vesko.Vesko.desktop")
  file(READ "${entry}" entry_text)
  string(REGEX MATCH "\nExec=[^\n]*" exec "${entry_text}")
  string(REGEX REPLACE "^\nExec=" "" exec "${exec}")
  exec_arguments("${exec}" arguments)
  if(NOT arguments STREQUAL "${prefix}/bin/vesko;%u")
    fail("${name}: Exec=${exec} runs [${arguments}], not ${prefix}/bin/vesko %u")
  endif()
  if(NOT entry_text MATCHES "\nMimeType=x-scheme-handler/vesko;\n")
    fail("${name}: the entry has no MimeType line for vesko: links:\n${entry_text}")
  endif()
  run(output "${DESKTOP_FILE_VALIDATE}" "${entry}")
  if(NOT output_status EQUAL 0 OR NOT output STREQUAL "")
    fail("${name}: desktop-file-validate:\n${output}")
  endif()

  # The metainfo alone, and together with the entry and icons it points at.
  set(metainfo "${root}/share/metainfo/app.vesko.Vesko.metainfo.xml")
  run(output "${APPSTREAMCLI}" validate --no-net "${metainfo}")
  if(NOT output_status EQUAL 0 OR output MATCHES "(^|\n)[EWI]: ")
    fail("${name}: appstreamcli validate:\n${output}")
  endif()
  run(output "${APPSTREAMCLI}" validate-tree --no-net "${root}")
  if(NOT output_status EQUAL 0 OR output MATCHES "(^|\n)[EWI]: ")
    fail("${name}: appstreamcli validate-tree:\n${output}")
  endif()
  run(version "${XMLLINT}" --xpath "string(/component/releases/release[1]/@version)" "${metainfo}")
  if(NOT version STREQUAL PROJECT_VERSION)
    fail("${name}: the metainfo's latest release is '${version}', the project is ${PROJECT_VERSION}")
  endif()

  # Both icons are well-formed, square SVG documents of one drawing.
  set(icons
    "${root}/share/icons/hicolor/scalable/apps/app.vesko.Vesko.svg"
    "${root}/share/icons/hicolor/symbolic/apps/app.vesko.Vesko-symbolic.svg")
  foreach(icon IN LISTS icons)
    run(viewbox "${XMLLINT}" --xpath "string(/*[local-name()='svg' and namespace-uri()='http://www.w3.org/2000/svg']/@viewBox)" "${icon}")
    separate_arguments(viewbox)
    list(LENGTH viewbox count)
    if(NOT viewbox_status EQUAL 0 OR NOT count EQUAL 4)
      fail("${name}: ${icon} is no SVG document with a viewBox: ${viewbox}")
      continue()
    endif()
    list(GET viewbox 2 width)
    list(GET viewbox 3 height)
    if(NOT width STREQUAL height)
      fail("${name}: ${icon} is ${width} by ${height}, not square")
    endif()
    run(paths "${XMLLINT}" --xpath "count(//*[local-name()='path' and string-length(@d) > 0])" "${icon}")
    if(paths LESS 1)
      fail("${name}: ${icon} draws nothing")
    endif()
  endforeach()
  file(SHA256 "${root}/share/icons/hicolor/scalable/apps/app.vesko.Vesko.svg" scalable)
  file(SHA256 "${root}/share/icons/hicolor/symbolic/apps/app.vesko.Vesko-symbolic.svg" symbolic)
  if(NOT scalable STREQUAL symbolic)
    fail("${name}: the symbolic icon is another drawing")
  endif()

  # The binary finds the info file where it is installed, and the file names the
  # same service as the binary's built-in defaults.
  file(COPY "${PROBE}" DESTINATION "${root}/bin")
  get_filename_component(probe_name "${PROBE}" NAME)
  run(probe ${CMAKE_COMMAND} -E env --unset=VESKO_INFO_FILE "${root}/bin/${probe_name}")
  file(REMOVE "${root}/bin/${probe_name}")
  string(REGEX REPLACE "\n$" "" probe "${probe}")
  string(REPLACE "\n" ";" probe "${probe}")
  list(LENGTH probe count)
  if(NOT probe_status EQUAL 0 OR NOT count EQUAL 5)
    fail("${name}: infofile_probe:\n${probe}")
    return()
  endif()
  list(GET probe 0 found)
  list(GET probe 1 api)
  list(GET probe 2 web)
  list(GET probe 3 default_api)
  list(GET probe 4 default_web)
  if(NOT found STREQUAL "${root}/share/vesko/vesko-info.json")
    fail("${name}: the installed binary reads the info file '${found}'")
  endif()
  if(NOT api STREQUAL default_api OR NOT web STREQUAL default_web)
    fail("${name}: the info file names ${api} and ${web}; the binary's defaults are ${default_api} and ${default_web}")
  endif()
  file(REMOVE_RECURSE "${SCRATCH_DIR}/${name}")
endfunction()

file(REMOVE_RECURSE "${SCRATCH_DIR}")
check_install(plain "${SCRATCH_DIR}/plain" "")
# A home folder may hold any of these; the entry must still name the binary.
check_install(spaced "${SCRATCH_DIR}/spaced/My Apps" "")
# (CMake itself cannot install under a path with a backslash.)
check_install(odd "${SCRATCH_DIR}/odd/it's \"100%\" $HOME `x` #1" "")
# A package build stages under DESTDIR; the entry names the final place.
check_install(staged "/opt/vesko" "${SCRATCH_DIR}/staged")
