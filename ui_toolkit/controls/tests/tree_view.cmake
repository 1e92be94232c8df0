# Tree view in real windows: nodes from skins, indentation, folding,
# checking, subtree insertion and removal, and the goldens of its states.
set(_tree_golden_env
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
ql_add_gtest(ui_tree_view_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tree_view_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  ENV ${_tree_golden_env})
