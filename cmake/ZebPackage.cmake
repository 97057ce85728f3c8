# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# `make package`: the installation as one Debian package, the way a fleet installs software.
# It holds what `make install` puts in place (programs, desktop entry, manual pages, documents)
# below /usr, with the binaries stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zeb)
set(CPACK_PACKAGE_CONTACT "ZEB maintainers <zeb@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Starts connections of a terminal engine and keeps the hosts it may reach")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries come from dpkg-shlibdeps; the stand-in engine opens its terminal in xterm.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS xterm)
include(CPack)
