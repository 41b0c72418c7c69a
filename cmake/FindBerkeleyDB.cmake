# Finds Berkeley DB 5.3 (Debian: libdb5.3-dev) and defines the imported
# target BerkeleyDB::BerkeleyDB, which carries the header folder and the
# library. Sets BerkeleyDB_FOUND, BerkeleyDB_INCLUDE_DIR, BerkeleyDB_LIBRARY.
find_path(BerkeleyDB_INCLUDE_DIR db.h)
find_library(BerkeleyDB_LIBRARY NAMES db-5.3 db)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(BerkeleyDB
  REQUIRED_VARS BerkeleyDB_LIBRARY BerkeleyDB_INCLUDE_DIR)

if(BerkeleyDB_FOUND AND NOT TARGET BerkeleyDB::BerkeleyDB)
  add_library(BerkeleyDB::BerkeleyDB UNKNOWN IMPORTED)
  set_target_properties(BerkeleyDB::BerkeleyDB PROPERTIES
    IMPORTED_LOCATION "${BerkeleyDB_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${BerkeleyDB_INCLUDE_DIR}")
endif()
mark_as_advanced(BerkeleyDB_INCLUDE_DIR BerkeleyDB_LIBRARY)
