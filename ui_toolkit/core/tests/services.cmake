# Delegates and event sources, the DPI helper and the resource-text manager.
ql_add_gtest(ui_services_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/delegate_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/dpi_helper_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/text_resource_manager_test.cc
  LIBS ql_ui_toolkit)
