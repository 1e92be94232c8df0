# The windowless rich edit over the platform's text services, driven by real
# keyboard, mouse and clipboard input in a window; its goldens.
set(_rich_edit_golden_env
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
ql_add_gtest(ui_rich_edit_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rich_edit_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground clipboard
  ENV ${_rich_edit_golden_env})
