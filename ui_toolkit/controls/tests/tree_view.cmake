# Tree view in real windows: nodes from skins, indentation, folding,
# checking, subtree insertion and removal.
ql_add_gtest(ui_tree_view_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tree_view_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground)
