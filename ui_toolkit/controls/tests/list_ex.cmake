# The extended list in real windows: header and row check boxes, the header
# column's click, in-place editing in the rich edit and the combo through real
# mouse and keys, many rows, hostile calls, and the goldens of its states.
set(_list_ex_golden_env
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
ql_add_gtest(ui_list_ex_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_ex_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  ENV ${_list_ex_golden_env})
