# Backends: a folder src/db/NAME with a backend.cmake that calls kestrumel_backend(NAME LIBS...).
# Its sources join the runtime library, but its catalog.cpp the catalog library; its
# session.cpp defines db::registered::NAME, its catalog.cpp db::registered_catalog::NAME, and
# the generated backend_list.cpp and catalog_list.cpp refer to every such entry. That
# reference, not a static initialiser, is what keeps a backend in a static link, and the order
# of the list is fixed.

function(kestrumel_backend name)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/db/${name}/*.cpp)
  set(catalog ${PROJECT_SOURCE_DIR}/src/db/${name}/catalog.cpp)
  list(REMOVE_ITEM sources ${catalog})
  target_sources(kestrumel_runtime PRIVATE ${sources})
  target_link_libraries(kestrumel_runtime PRIVATE ${ARGN})
  if(EXISTS ${catalog})
    target_sources(kestrumel_catalog PRIVATE ${catalog})
    target_link_libraries(kestrumel_catalog PRIVATE ${ARGN})
    set_property(GLOBAL APPEND PROPERTY KESTRUMEL_CATALOGS ${name})
  endif()
  set_property(GLOBAL APPEND PROPERTY KESTRUMEL_BACKENDS ${name})
  set_property(GLOBAL APPEND PROPERTY KESTRUMEL_BACKEND_LIBRARIES ${ARGN})
endfunction()

file(GLOB backend_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/db/*/backend.cmake)
list(SORT backend_files)
foreach(backend_file ${backend_files})
  include(${backend_file})
endforeach()

get_property(backends GLOBAL PROPERTY KESTRUMEL_BACKENDS)
set(KESTRUMEL_BACKEND_DECLARATIONS "")
set(KESTRUMEL_BACKEND_ENTRIES "")
foreach(name ${backends})
  string(APPEND KESTRUMEL_BACKEND_DECLARATIONS "extern const BackendEntry ${name};\n")
  string(APPEND KESTRUMEL_BACKEND_ENTRIES "      &registered::${name},\n")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/src/db/runtime/backend_list.cpp.in
               ${PROJECT_BINARY_DIR}/generated/backend_list.cpp @ONLY)
target_sources(kestrumel_runtime PRIVATE ${PROJECT_BINARY_DIR}/generated/backend_list.cpp)

get_property(catalogs GLOBAL PROPERTY KESTRUMEL_CATALOGS)
set(KESTRUMEL_CATALOG_DECLARATIONS "")
set(KESTRUMEL_CATALOG_ENTRIES "")
foreach(name ${catalogs})
  string(APPEND KESTRUMEL_CATALOG_DECLARATIONS "extern const CatalogEntry ${name};\n")
  string(APPEND KESTRUMEL_CATALOG_ENTRIES "      &registered_catalog::${name},\n")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/src/db/catalog/catalog_list.cpp.in
               ${PROJECT_BINARY_DIR}/generated/catalog_list.cpp @ONLY)
target_sources(kestrumel_catalog PRIVATE ${PROJECT_BINARY_DIR}/generated/catalog_list.cpp)
