# Runs inside `cmake --install`: installs the Plasma panel widget with the
# absolute path of the vesko installed beside it (the panel's PATH may lack
# the prefix's bin folder).
# In: VESKO_WIDGET_SOURCE, VESKO_WIDGET_STAGING, VESKO_INSTALL_BINDIR and
# VESKO_INSTALL_WIDGETDIR (each relative to the prefix, or absolute).
cmake_policy(VERSION 3.25)

cmake_path(ABSOLUTE_PATH VESKO_INSTALL_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" OUTPUT_VARIABLE vesko_bindir)
cmake_path(ABSOLUTE_PATH VESKO_INSTALL_WIDGETDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" OUTPUT_VARIABLE vesko_widgetdir)
set(vesko_binary "${vesko_bindir}/vesko")
if(vesko_binary MATCHES "[\n\r\t]")
  message(FATAL_ERROR "The install path ${vesko_binary} holds a control character; the widget cannot name it.")
endif()
# A JavaScript string literal.
string(REPLACE "\\" "\\\\" VESKO_BINARY_JS "${vesko_binary}")
string(REPLACE "\"" "\\\"" VESKO_BINARY_JS "${VESKO_BINARY_JS}")

string(SHA1 vesko_prefix_hash "${CMAKE_INSTALL_PREFIX}")
set(vesko_binary_js "${VESKO_WIDGET_STAGING}/${vesko_prefix_hash}/Binary.js")
configure_file("${VESKO_WIDGET_SOURCE}/Binary.js.in" "${vesko_binary_js}" @ONLY)
file(INSTALL DESTINATION "${vesko_widgetdir}" TYPE FILE FILES "${VESKO_WIDGET_SOURCE}/metadata.json")
file(INSTALL DESTINATION "${vesko_widgetdir}/contents/ui" TYPE FILE
  FILES "${VESKO_WIDGET_SOURCE}/contents/ui/main.qml" "${vesko_binary_js}")
