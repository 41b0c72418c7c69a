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
# The control file's long description, in lines of at most 79 characters
# (CPack puts the summary line before it, and the leading blanks).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "indicizza builds the word index of a catalogue of works. Started in a
catalogue folder, it loads every scrambled record of the record file into a
Berkeley DB data database, reads them back, and writes an index database
that maps each word of the text fields and each code of the code fields to
the records carrying it, reporting its progress in fixed Italian messages.
A run adds to what earlier runs stored and never leaves a file half
written, whatever stops it. Other programs read both files with the stock
Berkeley DB library.
.
Its companion catalogo makes the record file from a tab-separated
spreadsheet and back, searches the index on the command line or as a
read-only page for a browser (with a systemd unit that serves one
catalogue folder to colleagues), shows records field by field, and checks
that the index holds what the records give.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Shows opere.idb and opere.ddb in text (db5.3_dump -p).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS db5.3-util)

# What Debian wants beside the documentation: the copyright file, and the
# changelog of a native package, compressed as dpkg would.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog >
          ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
