# List control, header, body layout and rows in real windows: selection by
# mouse and keys, notifications, columns, header drag, row painting and the
# goldens of the list states.
set(_list_golden_env
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
ql_add_gtest(ui_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  ENV ${_list_golden_env})
