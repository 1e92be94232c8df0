# Tests of the product's settings: registry access, the path manager, the
# registry stamps and URL protocol, and the local SQLite stores. Every case
# works under a product name and keys of its own; the few that must touch
# fixed machine-wide places hold a lock named after that place.
if(WIN32)
  enable_language(RC)

  ql_add_gtest(base_registry_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/registry_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/registry_stamp_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/system_folders_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/system_folders_test.rc
      ${CMAKE_CURRENT_LIST_DIR}/url_protocol_test.cc
    LIBS ql_base)
  # The resource script names its payload relative to this folder.
  target_include_directories(base_registry_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})

  ql_add_gtest(base_path_manager_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_manager_test.cc
    LIBS ql_base)

  # The maker's supply id key and the fixed folders under C:\ and Program
  # Files are the same for every product name.
  ql_add_gtest(base_path_manager_shared_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_manager_shared_test.cc
    LIBS ql_base
    LOCKS registry_mobivane_supply_id quillorane_fixed_folders)

  ql_add_gtest(base_sqlite_store_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/client_update_info_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/config_table_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/install_state_store_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/oem_counter_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/oem_table_test.cc
    LIBS ql_base)
endif()
