# The PostgreSQL backend: "postgresql://..." through libpq.
find_package(PostgreSQL REQUIRED)
kestrumel_backend(postgresql PostgreSQL::PostgreSQL)
