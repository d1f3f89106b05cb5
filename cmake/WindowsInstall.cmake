# The Windows program as one folder that runs on a clean Windows PC (and that the installer
# packs): kovrel.exe and kovrel-cli.exe, the Qt DLLs the program imports, the platform plugin
# and the style, the MinGW runtime the Qt DLLs need, and the settings file of a fresh
# installation. `cmake --install build/windows-program` lays it out in build/windows-program/Kovrel.
if(NOT WIN32 OR NOT TARGET kovrel)
  return()
endif()

install(TARGETS kovrel kovrel-cli RUNTIME DESTINATION .)

# The kit's folder from the Qt package found: <kit>/lib/cmake/Qt6 → <kit>.
get_filename_component(kovrel_qt_kit "${Qt6_DIR}/../../.." ABSOLUTE)
# The program imports Core, Gui, Widgets and Network (the host's TCP link; its own serial code
# is Win32); Qt's DLLs import the compiler's runtime, which the static programs do not need but
# Qt does.
install(FILES
  $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> $<TARGET_FILE:Qt6::Network>
  "${kovrel_qt_kit}/bin/libstdc++-6.dll" "${kovrel_qt_kit}/bin/libgcc_s_seh-1.dll"
  "${kovrel_qt_kit}/bin/libwinpthread-1.dll"
  DESTINATION .)
install(FILES "${kovrel_qt_kit}/plugins/platforms/qwindows.dll" DESTINATION platforms)
# The system's own look for buttons and frames on Windows 10 and 11.
install(FILES "${kovrel_qt_kit}/plugins/styles/qwindowsvistastyle.dll" DESTINATION styles)

# The settings file of a fresh installation, as the build wrote it next to the program (the
# tracer on COM3, the virtual port on COM5). An installation over an older one keeps the
# technician's calibration: the file is only laid down where there is none.
install(CODE "
  set(kovrel_settings \"\${CMAKE_INSTALL_PREFIX}/trac_conf.cfg\")
  if(NOT EXISTS \"\${kovrel_settings}\")
    file(INSTALL \"$<TARGET_FILE_DIR:kovrel>/trac_conf.cfg\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
  endif()")
