# The ODBC backend: "odbc:" and an ODBC connection string, through unixODBC's driver manager.
find_package(ODBC REQUIRED)
kestrumel_backend(odbc ODBC::ODBC Threads::Threads)
