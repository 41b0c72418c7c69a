# The Debian package of indicizza, built by CPack (`make package`):
# indicizza_<version>_amd64.deb, installing into /usr. dpkg-shlibdeps works out
# the library packages the programs need (libdb5.3 among them), so it needs
# dpkg-dev and file at packaging time.
set(INDICIZZA_PACKAGE_CONTACT "indicizza developers <indicizza@example.org>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME indicizza)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${INDICIZZA_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "word index of a catalogue of works")
set(CPACK_PACKAGE_DESCRIPTION
    "indicizza loads the records of a catalogue of works into a Berkeley DB database and writes an index database that maps each word and code of the records to the records carrying it. The companion tool catalogo searches, shows, checks and converts the catalogue files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Shows opere.idb and opere.ddb in text (db5.3_dump -p).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS db5.3-util)

include(CPack)
