# The Debian package (scripts/package): what `cmake --install` puts in place, under /usr, with
# the dependencies read from the libraries the programs link against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "Quendal")
# The version the program itself shows ("pelmora --version"); Debian orders 0.31b after 0.31.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}b)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pop-up messenger for small office networks")
# Debian wants the extended description's lines below 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Pelmora sends short pop-up messages between the machines of a local\n"
    "network. Every machine runs the same small program and there is no\n"
    "server: a message is a single datagram sent straight to one machine, or\n"
    "to every machine of the workgroup. It speaks the network messenger's\n"
    "datagram format, waits in the notification area, comes back on a global\n"
    "hot key and shows a desktop notification for every arrival.\n"
    "pelmora-cli sends, listens and checks the machine's network from\n"
    "scripts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Pelmora maintainers <pelmora@quendal.com>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The autostart entry lives in /etc/xdg: a configuration file of the package, which an
# administrator may change or remove (to keep the program from starting at login) and an upgrade
# must then leave as it is.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/pelmora.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# cpack installs without building everything first: scripts/package builds what goes in the
# package, and the install test packs the build it already has.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
