# The Windows archive: `cpack -G ZIP` gives kestrumel-<version>-win64.zip with the two programs
# at its top, the schema files and the README (its Windows section tells how to set it up).
install(TARGETS kestrumel RUNTIME DESTINATION .)
if(TARGET kestrumel-config)
  install(TARGETS kestrumel-config RUNTIME DESTINATION .)
endif()
install(DIRECTORY schema/ DESTINATION schema FILES_MATCHING PATTERN "*.sql")
install(FILES README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kestrumel)
set(CPACK_PACKAGE_FILE_NAME "kestrumel-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
include(CPack)
