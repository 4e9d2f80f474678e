# The SQLite backend: "sqlite:DIR", one database file per schema.
find_package(SQLite3 REQUIRED)
kestrumel_backend(sqlite SQLite::SQLite3)
