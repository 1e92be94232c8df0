# List control, header, body layout and rows in real windows: selection by
# mouse and keys, notifications, columns, header drag, row painting.
ql_add_gtest(ui_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground)
