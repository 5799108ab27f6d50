# Installing MarkWeaver (cmake --install) and its Debian package (cpack -G DEB).
# The program folder lib/markweaver/ holds the editor, the player, the package tools
# and readme.txt; bin/markweaver links to the editor there. The editor finds its
# program folder from its own real path, so the link works.
include(GNUInstallDirs)

set(MW_INSTALL_PROGRAM_DIR "lib/markweaver")

set(MW_INSTALLED_PROGRAMS markweaver mw_player mw_build_tool mw_archiver mw_extractor)
foreach(program ${MW_INSTALLED_PROGRAMS})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${MW_INSTALL_PROGRAM_DIR})
  endif()
endforeach()
install(FILES resources/readme.txt DESTINATION ${MW_INSTALL_PROGRAM_DIR})
# The player's runtime, where the build makes one.
install(FILES ${MW_BIN_DIR}/player-runtime.tar.zst ${MW_BIN_DIR}/player-runtime-movie.tar.zst
  DESTINATION ${MW_INSTALL_PROGRAM_DIR} OPTIONAL)

install(CODE "
  set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/markweaver\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(REMOVE \"\${link}\")
  file(CREATE_LINK \"../${MW_INSTALL_PROGRAM_DIR}/markweaver\" \"\${link}\" SYMBOLIC)
  message(STATUS \"Installing: \${link}\")")

# Desktop integration: the menu entry, the icon, the map file type, the manual page.
install(FILES resources/desktop/markweaver.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/icons/markweaver.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES resources/icons/markweaver-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME markweaver.png)
endforeach()
install(FILES resources/mime/markweaver.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# Debian wants manual pages compressed with gzip -9n.
configure_file(resources/man/markweaver.1.in ${CMAKE_BINARY_DIR}/man/markweaver.1 @ONLY)
find_program(MW_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/markweaver.1.gz
  COMMAND ${MW_GZIP} -9n -c ${CMAKE_BINARY_DIR}/man/markweaver.1 > ${CMAKE_BINARY_DIR}/man/markweaver.1.gz
  DEPENDS ${CMAKE_BINARY_DIR}/man/markweaver.1)
add_custom_target(mw_man_page ALL DEPENDS ${CMAKE_BINARY_DIR}/man/markweaver.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/markweaver.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package's own documents.
configure_file(resources/debian/copyright.in ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)
configure_file(resources/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND ${MW_GZIP} -9n -c ${CMAKE_BINARY_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(mw_debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/markweaver)

install(FILES resources/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME markweaver)

# cpack -G DEB: build/markweaver_<version>_amd64.deb. The version is the project's
# (project() at the top of CMakeLists.txt); Depends come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME markweaver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "MarkWeaver team")
set(CPACK_PACKAGE_CONTACT "MarkWeaver team <${MW_MAIL_ADDRESS}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for maps of clickable photos and movie clips")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "MarkWeaver links photos and movie clips into a map with small square\nclicker marks: each mark opens its target clip when clicked and shows a\nmessage while the pointer rests on it. The editor plays the map and makes\na package of it: one self-extracting program with the clips, the map and\na player, which plays the map on another machine.")
set(CPACK_PACKAGE_FILE_NAME "markweaver_${PROJECT_VERSION}_amd64")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The editor loads libmpv at the first movie instead of linking it, so the library scan
# cannot find it. The web export converts movies and takes their posters with the
# programs ffmpeg and ffprobe, which it runs, so they are no library need either.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmpv2 (>= 0.35), ffmpeg (>= 7:5.1)")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MW_HOME_PAGE}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_THREADS 0)
include(CPack)
