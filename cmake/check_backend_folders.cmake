# cmake -DSOURCE_DIR=... -P check_backend_folders.cmake: fails when code outside a backend
# reaches into it, so that every backend folder can be deleted and the rest still builds. Only
# src/db/NAME, tests/db/NAME and tests/common/test_db_NAME.cpp may include NAME's headers or
# its driver's header (src/platform/NAME_api.h too, which does nothing else), or name its
# namespace; the dialects in src/db/dialect belong to none.

# Each backend's driver header, which only its own files include. ODBC's come through
# src/platform/odbc_api.h, as on Windows <windows.h> must precede them.
set(native_postgresql "libpq-fe\\.h")
set(native_sqlite "sqlite3\\.h")
set(native_odbc "(sql(ext)?\\.h|platform/odbc_api\\.h)")

file(GLOB backend_files ${SOURCE_DIR}/src/db/*/backend.cmake)
set(backends "")
foreach(backend_file ${backend_files})
  get_filename_component(folder ${backend_file} DIRECTORY)
  get_filename_component(name ${folder} NAME)
  list(APPEND backends ${name})
endforeach()

file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp
     ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp)
set(faults "")
foreach(source ${sources})
  file(RELATIVE_PATH path ${SOURCE_DIR} ${source})
  foreach(name ${backends})
    if(path MATCHES "^(src|tests)/db/${name}/" OR path STREQUAL "tests/common/test_db_${name}.cpp"
       OR path STREQUAL "src/platform/${name}_api.h")
      continue()
    endif()
    set(native "db/${name}/")
    if(DEFINED native_${name})
      set(native "(db/${name}/|${native_${name}})")
    endif()
    file(STRINGS ${source} hits REGEX "#include [<\"]${native}|(^|[^A-Za-z0-9_])${name}::")
    foreach(hit ${hits})
      string(APPEND faults "${path}: ${hit}\n")
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "reaches into another backend:\n${faults}")
endif()
