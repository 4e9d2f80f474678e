# The PostgreSQL backend: "postgresql://..." through libpq. Windows builds go without it and
# reach PostgreSQL through ODBC.
if(WIN32)
  set(kestrumel_postgresql_default OFF)
else()
  set(kestrumel_postgresql_default ON)
endif()
option(KESTRUMEL_POSTGRESQL "Build the PostgreSQL backend (needs libpq)" ${kestrumel_postgresql_default})
if(NOT KESTRUMEL_POSTGRESQL)
  return()
endif()
find_package(PostgreSQL REQUIRED)
kestrumel_backend(postgresql PostgreSQL::PostgreSQL)
