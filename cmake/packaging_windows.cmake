# The Windows archive: `cpack -G ZIP` gives kestrumel-<version>-win64.zip with the two programs
# at its top, the schema files and the README (its Windows section tells how to set it up), the
# manual pages as text in doc/, and in scheduler/ a Task Scheduler task and the script it runs.
install(TARGETS kestrumel RUNTIME DESTINATION .)
if(TARGET kestrumel-config)
  install(TARGETS kestrumel-config RUNTIME DESTINATION .)
endif()
install(DIRECTORY schema/ DESTINATION schema FILES_MATCHING PATTERN "*.sql")
install(FILES README.md DESTINATION .)

# Windows text files end their lines with CR LF: cmd misreads a script's labels without, and
# older Notepads show one long line. schtasks takes a task's XML in UTF-16 only.
find_program(KESTRUMEL_GROFF groff REQUIRED)
find_program(KESTRUMEL_ICONV iconv REQUIRED)
set(kestrumel_windows_files "")
foreach(page kestrumel.1 kestrumel-config.1)
  configure_file(man/${page}.in man/${page} @ONLY)
  string(REGEX REPLACE "\\.1$" ".txt" text ${page})
  # -c -b -o -u: plain characters, without overstriking for bold and underline.
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/${text}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
    COMMAND sh -c "\"$1\" -man -Tascii -P-cbou \"$2\" | sed 's/$/\\r/' >\"$3\""
            sh ${KESTRUMEL_GROFF} ${PROJECT_BINARY_DIR}/man/${page} ${PROJECT_BINARY_DIR}/doc/${text}
    DEPENDS ${PROJECT_BINARY_DIR}/man/${page} VERBATIM)
  list(APPEND kestrumel_windows_files ${PROJECT_BINARY_DIR}/doc/${text})
  install(FILES ${PROJECT_BINARY_DIR}/doc/${text} DESTINATION doc)
endforeach()
set(scheduler_dir ${PROJECT_BINARY_DIR}/scheduler)
add_custom_command(OUTPUT ${scheduler_dir}/kestrumel-run.cmd
  COMMAND ${CMAKE_COMMAND} -E make_directory ${scheduler_dir}
  COMMAND sh -c "sed 's/$/\\r/' \"$1\" >\"$2\""
          sh ${PROJECT_SOURCE_DIR}/packaging/windows/kestrumel-run.cmd ${scheduler_dir}/kestrumel-run.cmd
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/kestrumel-run.cmd VERBATIM)
add_custom_command(OUTPUT ${scheduler_dir}/kestrumel-task.xml
  COMMAND ${CMAKE_COMMAND} -E make_directory ${scheduler_dir}
  COMMAND sh -c "{ printf '\\377\\376'; sed 's/$/\\r/' \"$2\" | \"$1\" -f UTF-8 -t UTF-16LE; } >\"$3\""
          sh ${KESTRUMEL_ICONV} ${PROJECT_SOURCE_DIR}/packaging/windows/kestrumel-task.xml
          ${scheduler_dir}/kestrumel-task.xml
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/kestrumel-task.xml VERBATIM)
list(APPEND kestrumel_windows_files ${scheduler_dir}/kestrumel-run.cmd ${scheduler_dir}/kestrumel-task.xml)
install(FILES ${scheduler_dir}/kestrumel-run.cmd ${scheduler_dir}/kestrumel-task.xml DESTINATION scheduler)
# Built with the program, as the archive takes them along and the tests run the script.
add_custom_target(kestrumel_windows_files ALL DEPENDS ${kestrumel_windows_files})
add_dependencies(kestrumel kestrumel_windows_files)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kestrumel)
set(CPACK_PACKAGE_FILE_NAME "kestrumel-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
include(CPack)
