# Installing Sennet as a desktop program, and its Debian package.
#   cmake --install build [--prefix /usr]     the program, menu entry, icons, metainfo, manual page
#   scripts/package                           builds build/sennet_<version>_<arch>.deb
include(GNUInstallDirs)

set(SENNET_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
configure_file(${SENNET_PACKAGING_DIR}/sennet.1.in ${CMAKE_BINARY_DIR}/sennet.1 @ONLY)
# Installed compressed, as Debian keeps its manual pages (-n: no time stamp,
# so the package is the same from build to build).
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/sennet.1.gz
                   COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/sennet.1 > ${CMAKE_BINARY_DIR}/sennet.1.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/sennet.1 VERBATIM)
add_custom_target(sennet_manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/sennet.1.gz)

install(TARGETS sennet sennet-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SENNET_PACKAGING_DIR}/sennet.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${SENNET_PACKAGING_DIR}/org.sennet.sennet.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/sennet.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/sennet-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME sennet.png)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/sennet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sennet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Sennet")
set(CPACK_PACKAGE_CONTACT "Sennet administrator <root@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "traffic citation record management")
set(CPACK_PACKAGE_DESCRIPTION
  "Sennet keeps a law-enforcement agency's traffic citations: a grid lists them, sorted and
searchable; a tabbed editor shows and changes one; users log in with one of four access
levels; citations and lists print; the data files back up to a folder and restore from it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the packages of every library the program links (the
# Qt runtime libqt6core6, libqt6gui6 with the X11 platform plugin,
# libqt6widgets6, libqt6printsupport6, and the C and C++ runtime). Without it
# the Qt packages are named here.
find_program(SENNET_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SENNET_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4)")
endif()
# Only the program: the tests and benchmarks are not installed.
set(CPACK_STRIP_FILES ON)
include(CPack)

if(SENNET_BUILD_TESTS)
  # The command-line tests run the program itself.
  if(TARGET app_tst_commandline)
    target_compile_definitions(app_tst_commandline PRIVATE SENNET_EXECUTABLE="$<TARGET_FILE:sennet>")
    add_dependencies(app_tst_commandline sennet)
  endif()
  # Installs into a staging folder and builds the package, then checks both
  # hold what a desktop installation needs.
  add_test(NAME package_staging
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-package ${CMAKE_BINARY_DIR})
  set_tests_properties(package_staging PROPERTIES TIMEOUT 600 RUN_SERIAL ON)
endif()
