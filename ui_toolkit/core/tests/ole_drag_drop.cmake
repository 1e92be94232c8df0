# OLE drag and drop: the data object, format enumerator, drop source and drop
# target on their own, and drags between two skinned windows registered with OLE.
ql_add_gtest(ui_ole_drag_drop_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ole_drag_drop_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground)
