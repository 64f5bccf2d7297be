# Installation and the Debian package: cmake --build build --target package
# gives quenda_<version>_amd64.deb with the three programs, the desktop entry, icon, AppStream metainfo, man pages and help pages.
set(QUENDA_APP_ID org.quenda.Quenda)
# Where the project is published and under which terms: the keeper of a package sets
# these. Without a licence granted, the work is all rights reserved; the defaults say so
# and point into the reserved example domain rather than at anyone's real site.
set(QUENDA_HOMEPAGE "https://quenda.example.org" CACHE STRING "Project home page (package, AppStream, screenshot)")
set(QUENDA_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence expression (AppStream)")
set(QUENDA_CONTACT "Quenda developers <quenda@example.org>" CACHE STRING "Package maintainer")

install(TARGETS quenda quenda-sim almanac RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/quenda.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${QUENDA_APP_ID}.desktop)
install(FILES packaging/quenda.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUENDA_APP_ID}.svg)
install(DIRECTORY resources/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quenda/help FILES_MATCHING PATTERN "*.html")

set(_pkg ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/quenda.metainfo.xml.in ${_pkg}/${QUENDA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_pkg}/${QUENDA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages, compressed as Debian keeps them.
foreach(_page quenda quenda-sim almanac)
  configure_file(packaging/man/${_page}.1.in ${_pkg}/${_page}.1 @ONLY)
  file(ARCHIVE_CREATE OUTPUT ${_pkg}/${_page}.1.gz PATHS ${_pkg}/${_page}.1 FORMAT raw COMPRESSION GZip)
  install(FILES ${_pkg}/${_page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenda)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUENDA_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and control a twelve-channel LED aquarium light")
set(CPACK_PACKAGE_DESCRIPTION "Desktop tool that sets up a twelve-channel PWM LED controller for aquaria
and terraria over a serial line, with a device simulator and a sun and moon almanac.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUENDA_HOMEPAGE})
# Library dependencies come from the binaries; the windowing plug-ins are loaded at run
# time, so no binary names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
