# The installed layout and the Debian package (`cpack -G DEB` in the build folder).
#
# The program lives in /usr/lib/kovrel (not the user's to write); /usr/bin/kovrel points at it.
# The machine's default settings file, which the first start copies into the settings every
# operator shares (/var/lib/kovrel, made by the postinst for the group dialout), is
# /etc/kovrel/trac_conf.cfg: a conffile, so a lab administrator's preset survives upgrades. The
# command-line companion and the simulators are ordinary commands in /usr/bin. The Windows
# installer is built from the Windows program's install folder by packaging/windows/kovrel.nsi.
if(NOT KOVREL_WITH_QT OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(KOVREL_DEB_MAINTAINER "Kovrel developers <kovrel-dev@kovrel.org>")
set(KOVREL_DEB_VERSION ${PROJECT_VERSION})
set(kovrel_packaging ${CMAKE_CURRENT_LIST_DIR})
set(kovrel_app_id org.kovrel.Kovrel)

install(TARGETS kovrel RUNTIME DESTINATION lib/kovrel)
install(TARGETS kovrel-cli kovrel-tracer-sim kovrel-host-sim RUNTIME DESTINATION bin)
install(FILES ${kovrel_packaging}/${kovrel_app_id}.desktop DESTINATION share/applications)
install(FILES ${kovrel_packaging}/${kovrel_app_id}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${kovrel_packaging}/${kovrel_app_id}.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${kovrel_packaging}/debian/copyright ${kovrel_packaging}/debian/README.Debian
        DESTINATION share/doc/kovrel)
configure_file(${kovrel_packaging}/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)

# What needs a tool at install time: the link, the default settings file as the program writes
# it, the icon's bitmaps, the compressed manual pages and changelog. Reproducible: gzip -n.
install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  file(MAKE_DIRECTORY \"\${root}/bin\")
  file(CREATE_LINK ../lib/kovrel/kovrel \"\${root}/bin/kovrel\" SYMBOLIC)

  # The machine's default settings file: the package's (prefix /usr) in /etc/kovrel, any other
  # prefix's beside the program. Never over a file already there: it may be a lab's calibration.
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(folder \"\$ENV{DESTDIR}/etc/kovrel\")
  else()
    set(folder \"\${root}/lib/kovrel\")
  endif()
  if(NOT EXISTS \"\${folder}/trac_conf.cfg\")
    file(MAKE_DIRECTORY \"\${folder}\")
    execute_process(COMMAND $<TARGET_FILE:kovrel-cli> settings-file \"\${folder}\" OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(READ \"\${folder}/trac_conf.cfg\" settings)
    string(REPLACE \"[PATH]=\${folder}\" \"[PATH]=\${CMAKE_INSTALL_PREFIX}/lib/kovrel\" settings \"\${settings}\")
    # An installed program starts as a first installation: the ports are set up on the lab's PC
    # (the build folder's file keeps the simulators' COM3 and COM5, set up).
    string(REPLACE \"[INST]=10\" \"[INST]=1\" settings \"\${settings}\")
    string(REPLACE \"\\n\" \"\\r\\n\" settings \"\${settings}\")  # file(READ) drops the CRs of CR LF
    file(WRITE \"\${folder}/trac_conf.cfg\" \"\${settings}\")
    file(CHMOD \"\${folder}/trac_conf.cfg\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()

  foreach(size 16 22 24 32 48 64 128 256)
    set(apps \"\${root}/share/icons/hicolor/\${size}x\${size}/apps\")
    file(MAKE_DIRECTORY \"\${apps}\")
    execute_process(COMMAND rsvg-convert -w \${size} -h \${size} -o \"\${apps}/${kovrel_app_id}.png\"
                            \"${kovrel_packaging}/${kovrel_app_id}.svg\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()

  file(MAKE_DIRECTORY \"\${root}/share/man/man1\")
  foreach(page kovrel kovrel-cli kovrel-tracer-sim kovrel-host-sim)
    execute_process(COMMAND gzip -9n -c \"${kovrel_packaging}/\${page}.1\"
                    OUTPUT_FILE \"\${root}/share/man/man1/\${page}.1.gz\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  execute_process(COMMAND gzip -9n -c \"${CMAKE_BINARY_DIR}/packaging/changelog\"
                  OUTPUT_FILE \"\${root}/share/doc/kovrel/changelog.gz\" COMMAND_ERROR_IS_FATAL ANY)
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovrel)
set(CPACK_PACKAGE_VERSION ${KOVREL_DEB_VERSION})
set(CPACK_PACKAGE_CONTACT ${KOVREL_DEB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front end of an optical lab's lens-shape tracer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kovrel reads a lens shape from the tracer on its USB serial port,
draws it at true size, lets the operator mirror, turn and size it, and
sends it to the lab's host program (edger or lab software) with the OMA/VCA
trace exchange over a virtual serial port. Its texts are Spanish.

The package also holds kovrel-cli, which runs the same capture, editing
and send on a recorded read, and simulators of the tracer and a lab host.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg keeps an administrator's edit of the default settings file over upgrades (and asks when
# the package's own default changed too).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${kovrel_packaging}/debian/conffiles ${kovrel_packaging}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
