# The Debian package (scripts/package builds it): everything the installation holds, under /usr.
# Its dependencies are the libraries the programs are linked with, as dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrow developers")
set(CPACK_PACKAGE_CONTACT "Kestrow developers <kestrow@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep folders of music releases intact and fit for CD-R")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrow verifies the files of music release folders by the CRC-32 values of\n"
    "their SFV lists, matches M3U playlists with the files, and writes taglines,\n"
    "marker files whose names state the result. It shortens over-long names for\n"
    "ISO-9660 and Joliet with the group tag and year kept, stores the original\n"
    "names as backup data first, and puts them back on request.\n"
    "\n"
    "The package holds the window (kestrow) and the console program (kestrow-cli).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
