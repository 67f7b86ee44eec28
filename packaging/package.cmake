# What an install holds, and the Debian package CPack makes of it
# (scripts/package.sh). The panels go to share/q7/panels, where the program
# looks for them relative to its own folder.
# q7-panels sits beside q7, which starts it when no command is given.
install(TARGETS q7 q7-panels q7sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${Q7_PANEL_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/q7/panels)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/q7.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/q7.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README links its pages under docs/, so they go beside it as they are.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The MQTT bridge's service, installed disabled, and the commented example
# of the config it reads; the package's scripts make the user it runs as.
# The unit names the program where the install puts it, which CPack decides
# only when it installs: so it is written then.
install(CODE "
  set(Q7_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(Q7_DOCDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/q7-serve.service.in\"
    \"${CMAKE_BINARY_DIR}/q7-serve.service\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/q7-serve.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/serve.conf DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The example that joins a line PC's broker to a central one.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/mosquitto-bridge.conf DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The bridge's InfluxDB points in Grafana, and Telegraf's way to them from the broker.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/grafana-q7.json
  ${CMAKE_SOURCE_DIR}/packaging/telegraf-q7.conf DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages ship compressed, and reproducibly (no name or time stamp).
set(Q7_MANPAGE ${CMAKE_BINARY_DIR}/q7.1.gz)
add_custom_command(OUTPUT ${Q7_MANPAGE}
  COMMAND sh -c "gzip -9n -c '${CMAKE_SOURCE_DIR}/packaging/q7.1' > '${Q7_MANPAGE}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/q7.1
  VERBATIM)
add_custom_target(q7_manpage ALL DEPENDS ${Q7_MANPAGE})
install(FILES ${Q7_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME q7)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Q7 developers <q7-devel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "operator and service program for the Q7 temperature controller")
# CPack puts the summary first and indents the rest as Debian wants it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "q7 is the Modbus RTU master of one single-loop Q7 temperature controller on
an RS-232 line: it shows PV live, sets SV, the control mode and the output
level, plots and logs SV and PV, backs up and restores the configuration,
edits and runs the step program and tunes the PID block. From a shell or a
script, with no display, it backs up, restores, reads, sets and watches a
controller (q7 help). q7 serve publishes the controllers of a line to an
MQTT broker and takes checked settings from it; its systemd service,
q7-serve, is installed disabled.

q7sim is a simulated controller on a pseudo-terminal, for trying the
program without the hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # q7_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries the binaries link come from dpkg-shlibdeps; a font is
# what a bare system lacks to draw the panels' text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mosquitto, mosquitto-clients")
# postinst makes the bridge's system user; the shared libraries are added to these.
# Qt SQL's SQLite driver is a plugin, loaded by name, which no library
# dependency brings: the run store (runs.sqlite) needs it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
