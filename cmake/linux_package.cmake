# Installing on Linux (`cmake --install`, `make install`) and the Debian package (CPack,
# `make package`): the module where the screen-saver daemon looks for it (linked from the
# PATH for its Wayland host), its description
# for the settings program, the desktop entry of the MATE and Xfce screen savers, the sample
# props, the two tools and the man pages.
include(GNUInstallDirs)

set(orvane_linux ${CMAKE_SOURCE_DIR}/packaging/linux)
set(orvane_staged ${CMAKE_BINARY_DIR}/packaging)

# The sample prop file, drawn by proptool itself.
add_custom_command(OUTPUT ${orvane_staged}/props.prp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${orvane_staged}
  COMMAND $<TARGET_FILE:proptool> sample ${orvane_staged}/props.prp --count 64 > /dev/null
  DEPENDS proptool
  COMMENT "Sample prop file")

# Man pages and the changelog compressed as Debian wants them: gzip -9 with no name or time.
set(orvane_gzipped)
foreach(name orvane.6 proptool.1 orvane-render.1 changelog)
  add_custom_command(OUTPUT ${orvane_staged}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${orvane_staged}
    COMMAND gzip -9n -c ${orvane_linux}/${name} > ${orvane_staged}/${name}.gz
    DEPENDS ${orvane_linux}/${name}
    COMMENT "Compressing ${name}")
  list(APPEND orvane_gzipped ${orvane_staged}/${name}.gz)
endforeach()
add_custom_target(orvane_install_files ALL DEPENDS ${orvane_staged}/props.prp ${orvane_gzipped})

install(TARGETS orvane RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(TARGETS proptool orvane-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# `orvane --wayland` is started by name (an idle daemon's command, a compositor's config):
# the program is on the PATH too, as a link to the module, which still finds its samples
# from its real place.
file(RELATIVE_PATH orvane_module_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver/orvane)
install(CODE "
  set(orvane_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${orvane_bin}\")
  file(CREATE_LINK \"${orvane_module_from_bin}\" \"\${orvane_bin}/orvane\" SYMBOLIC)
")
install(FILES ${orvane_linux}/orvane.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${orvane_staged}/props.prp DESTINATION ${CMAKE_INSTALL_DATADIR}/orvane)
# The entry that the MATE and Xfce screen savers list names the module by its installed path,
# so it is written when installing, under that install's prefix (`cmake --install --prefix`,
# CPack's /usr), never the build's.
install(CODE "
  set(orvane_module \"${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/orvane\")
  if(NOT IS_ABSOLUTE \"\${orvane_module}\")
    set(orvane_module \"\${CMAKE_INSTALL_PREFIX}/\${orvane_module}\")
  endif()
  configure_file(\"${orvane_linux}/orvane.desktop.in\" \"${orvane_staged}/orvane.desktop\" @ONLY)
")
install(FILES ${orvane_staged}/orvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
install(FILES ${orvane_staged}/orvane.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${orvane_staged}/proptool.1.gz ${orvane_staged}/orvane-render.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${orvane_linux}/copyright ${orvane_staged}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Orvane developers <orvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "kaleidoscope screen saver of prop sprites between mirrors")
# The long description; the summary above is its first line.
set(CPACK_PACKAGE_DESCRIPTION "Thirty small pictures drift, turn and change size inside a wedge between
two mirror planes; the wedge is repeated around the centre, directly and
mirrored, and every so often the kaleidoscope eases into another of seven
mirror arrangements.
.
The package holds the module orvane for the X11 screen-saver daemon
(pick Orvane in its settings) and for the MATE and Xfce screen savers
(pick Orvane in their preferences), which also covers every output of a
Wayland desktop with the layer shell (sway, Hyprland, KDE Plasma) as a
screen saver, behind a lock screen or as a live wallpaper
(orvane --wayland), sample props, proptool to make prop files from
pictures, and orvane-render to draw the scene to PNG frames without a
window.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
