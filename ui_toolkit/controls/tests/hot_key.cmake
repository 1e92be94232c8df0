# The hot-key field and its native hot-key window in a real window.
ql_add_gtest(ui_hot_key_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hot_key_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground)
