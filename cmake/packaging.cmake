# Installation and the Debian package: `cmake --install build --prefix P`, `cpack -G DEB`.
include(GNUInstallDirs)

install(TARGETS kestrumel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kestrumel-config)
  install(TARGETS kestrumel-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# Stripping (`--strip`, the package) keeps the compiler's .comment section; Debian's own
# packages drop it and .note as well.
set(kestrumel_programs kestrumel)
if(TARGET kestrumel-config)
  list(APPEND kestrumel_programs kestrumel-config)
endif()
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program ${kestrumel_programs})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
# The programs' relocations are all done at start, so that their tables can be made read-only.
foreach(program ${kestrumel_programs})
  target_link_options(${program} PRIVATE LINKER:-z,now)
endforeach()
install(DIRECTORY schema/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrumel/schema
  FILES_MATCHING PATTERN "*.sql")

# example.org: a domain that exists and reaches no one, which the builder replaces.
set(KESTRUMEL_PACKAGE_CONTACT "kestrumel maintainers <kestrumel@example.org>"
  CACHE STRING "Maintainer of the Debian package and of its changelog entry")
# A build folder configured before still holds the former default, which lintian refuses.
if(KESTRUMEL_PACKAGE_CONTACT STREQUAL "kestrumel maintainers <root@localhost>")
  set(KESTRUMEL_PACKAGE_CONTACT "kestrumel maintainers <kestrumel@example.org>"
    CACHE STRING "Maintainer of the Debian package and of its changelog entry" FORCE)
endif()

# Debian ships manual pages and the changelog compressed; -n leaves out the file's name and
# time, so that the same text gives the same bytes. The uncompressed file stays for checking.
find_program(KESTRUMEL_GZIP gzip REQUIRED)
set(kestrumel_compressed "")
function(kestrumel_compress file)
  add_custom_command(OUTPUT ${file}.gz
    COMMAND ${KESTRUMEL_GZIP} -9nkf ${file}
    DEPENDS ${file} VERBATIM)
  set(kestrumel_compressed ${kestrumel_compressed} ${file}.gz PARENT_SCOPE)
endfunction()

# The manual pages carry the version in their footer.
foreach(page kestrumel.1 kestrumel-config.1)
  configure_file(man/${page}.in man/${page} @ONLY)
  kestrumel_compress(${PROJECT_BINARY_DIR}/man/${page})
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The changelog's one entry takes the project's version and the package's maintainer; its date
# is SOURCE_DATE_EPOCH when set (a reproducible build), else the time of configuring.
string(TIMESTAMP KESTRUMEL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in packaging/changelog @ONLY)
kestrumel_compress(${PROJECT_BINARY_DIR}/packaging/changelog)
install(FILES README.md packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# What makes the package a scheduled service (docs: README "Running on a schedule"): the
# templated service and timer, the log rotation and the example settings of a planning group.
# The first two lie outside any prefix and name the package's user, which only the package
# makes (postinst): `cmake --install --prefix P` leaves them out, the package takes them in.
install(FILES "packaging/systemd/kestrumel@.service" "packaging/systemd/kestrumel@.timer"
  DESTINATION /lib/systemd/system COMPONENT system EXCLUDE_FROM_ALL)
install(FILES packaging/kestrumel.logrotate DESTINATION /etc/logrotate.d RENAME kestrumel
  COMPONENT system EXCLUDE_FROM_ALL)
install(FILES packaging/PLG01.conf DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# Built with the program, since an install of it takes them along.
add_custom_target(kestrumel_compressed ALL DEPENDS ${kestrumel_compressed})
add_dependencies(kestrumel kestrumel_compressed)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrumel)
set(CPACK_PACKAGE_CONTACT "${KESTRUMEL_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters, as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION
  "Started for one planning group, kestrumel works that group's queue of\n\
plan-update requests off against the suite's database (SQLite files,\n\
PostgreSQL, or a database reached through ODBC) and records the staffing\n\
deviations. kestrumel-config writes and shows its configuration file.")
set(CPACK_STRIP_FILES ON)
# kestrumel_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time dependencies (SQLite, libpq, the C++ library) come from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sqlite3, postgresql-client")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# postinst makes the user kestrumel with adduser; conffiles keeps an operator's rotation.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/conffiles)
# The whole install, then the component it leaves out.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};kestrumel;ALL;/" "${PROJECT_BINARY_DIR};kestrumel;system;/")
include(CPack)
