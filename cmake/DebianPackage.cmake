# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder writes
# klangheber_<version>_<arch>.deb with everything `cmake --install` installs,
# under /usr. The dependencies on shared libraries come from the binaries
# (dpkg-shlibdeps, from dpkg-dev; CPack also needs file(1)).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME klangheber)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Klangheber Developers <dev@klangheber.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns Unreal music packages into tracker modules")
set(CPACK_PACKAGE_DESCRIPTION [[
Klangheber finds the Unreal music packages (*.umx) in a folder and its
sub-folders and writes the tracker module each one carries beside it:
Impulse Tracker (.it), Scream Tracker 3 (.s3m) or FastTracker 2 (.xm).
It runs as a window or, with --batch, on the command line.
.
The package also carries klangheber-hex, Klangheber's byte editor as a
program of its own: view and edit the bytes of any file up to 2 GiB.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's captions are laid out for an Arial-metric sans (Nimbus Sans,
# with DejaVu Sans Condensed as the fallback); Courier is Nimbus Mono PS.
# Qt's own German texts (klangheber-hex's file dialogs) come with Qt's
# translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-urw-base35, fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What Debian's policy asks of every package beside the programs: the
# copyright in its machine-readable form and the changelog, compressed, in
# the package's documentation folder; and for Debian's package checker, the
# reasons why the hints it still gives do not apply (data/debian).
set(debian "${PROJECT_SOURCE_DIR}/data/debian")
set(KH_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/klangheber)
configure_file("${debian}/changelog" "${PROJECT_BINARY_DIR}/debian/changelog" COPYONLY)
kh_gzip("${PROJECT_BINARY_DIR}/debian/changelog" debian-changelog)
install(FILES "${debian}/copyright" "${PROJECT_BINARY_DIR}/debian/changelog.gz" DESTINATION ${KH_DOCDIR})
install(FILES "${debian}/lintian-overrides" DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME klangheber)

include(CPack)
