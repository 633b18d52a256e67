# Installing Sennet as a desktop program, and its Debian package.
#   cmake --install build [--prefix /usr]     the programs, menu entry, icons, metainfo, manual pages
#   scripts/package                           builds build/sennet_<version>_<arch>.deb
include(GNUInstallDirs)

set(SENNET_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# Who the package names as its maintainer: the cache variables, else the
# DEBFULLNAME and DEBEMAIL of the one who builds it, else a role address.
if(DEFINED ENV{DEBFULLNAME} AND NOT "$ENV{DEBFULLNAME}" STREQUAL "")
  set(SENNET_DEFAULT_MAINTAINER_NAME "$ENV{DEBFULLNAME}")
else()
  set(SENNET_DEFAULT_MAINTAINER_NAME "Sennet Maintainers")
endif()
if(DEFINED ENV{DEBEMAIL} AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  set(SENNET_DEFAULT_MAINTAINER_EMAIL "$ENV{DEBEMAIL}")
else()
  set(SENNET_DEFAULT_MAINTAINER_EMAIL "packages@sennet.org")
endif()
set(SENNET_MAINTAINER_NAME "${SENNET_DEFAULT_MAINTAINER_NAME}" CACHE STRING "The package maintainer's name")
set(SENNET_MAINTAINER_EMAIL "${SENNET_DEFAULT_MAINTAINER_EMAIL}" CACHE STRING "The package maintainer's e-mail")
set(SENNET_MAINTAINER "${SENNET_MAINTAINER_NAME} <${SENNET_MAINTAINER_EMAIL}>")
# The date of the package's changelog entry, as Debian writes it; fixed by
# SOURCE_DATE_EPOCH when that is set, so a build can be repeated exactly.
string(TIMESTAMP SENNET_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Manual pages and the changelog (a native package's: changelog.gz) are installed compressed, as Debian keeps
# them (-n: no time stamp, so the package is the same from build to build).
set(SENNET_COMPRESSED)
foreach(page sennet.1 sennet-data.1 changelog)
  configure_file(${SENNET_PACKAGING_DIR}/${page}.in ${CMAKE_BINARY_DIR}/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${page}.gz
                     COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/${page} > ${CMAKE_BINARY_DIR}/${page}.gz
                     DEPENDS ${CMAKE_BINARY_DIR}/${page} VERBATIM)
  list(APPEND SENNET_COMPRESSED ${CMAKE_BINARY_DIR}/${page}.gz)
endforeach()
add_custom_target(sennet_manpage ALL DEPENDS ${SENNET_COMPRESSED})

install(TARGETS sennet sennet-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SENNET_PACKAGING_DIR}/org.sennet.sennet.desktop
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
install(FILES ${CMAKE_BINARY_DIR}/sennet.1.gz ${CMAKE_BINARY_DIR}/sennet-data.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${SENNET_PACKAGING_DIR}/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sennet)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sennet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Sennet")
set(CPACK_PACKAGE_CONTACT "${SENNET_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SENNET_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "traffic citation record management")
# Lines of the extended description stay under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
  "Sennet keeps a law-enforcement agency's traffic citations: a grid lists
them, sorted and searchable; a tabbed editor shows and changes one; users
log in with one of four access levels; citations and lists print; the data
files back up to a folder and restore from it.
.
The sennet-data command checks, dumps, exports and counts the data files
from the command line.")
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
