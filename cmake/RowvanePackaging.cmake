# The Debian package: `cmake --build build --target package` gives
# rowvane_<version>_amd64.deb from what `cmake --install` puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rowvane)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvel <support@quorvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert batches of CSV files into XML files")
set(CPACK_PACKAGE_DESCRIPTION
  "Rowvane gathers CSV files in a list (file dialog, whole folders, drag and\n"
  "drop, or bundled samples) and converts each into one XML file of the same\n"
  "base name in an output folder, with a chosen separator, header row and tag\n"
  "names. Outputs appear complete under their final names or not at all.\n"
  "The rowvane-cli command does the same from a terminal.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE ${ROWVANE_DEBIAN_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvel.example/rowvane/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its display plugins at run time; no library link names them.
# libxml2 is loaded at run time (templates), so the shared-library scan misses it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libxml2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
