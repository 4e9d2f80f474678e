# Installation and the Debian package: `cmake --install build --prefix P`, `cpack -G DEB`.
include(GNUInstallDirs)

install(TARGETS kestrumel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kestrumel-config)
  install(TARGETS kestrumel-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY schema/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrumel/schema
  FILES_MATCHING PATTERN "*.sql")
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The manual pages carry the version in their footer.
foreach(page kestrumel.1 kestrumel-config.1)
  configure_file(man/${page}.in man/${page} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(KESTRUMEL_PACKAGE_CONTACT "kestrumel maintainers <root@localhost>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrumel)
set(CPACK_PACKAGE_CONTACT "${KESTRUMEL_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Started for one planning group, kestrumel works that group's queue of plan-update\n\
requests off against the suite's database (SQLite files or PostgreSQL) and records\n\
the staffing deviations. kestrumel-config writes and shows its configuration file.")
set(CPACK_STRIP_FILES ON)
# kestrumel_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time dependencies (SQLite, libpq, the C++ library) come from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sqlite3, postgresql-client")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
