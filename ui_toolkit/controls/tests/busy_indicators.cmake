# Ring and loading spinners: their steps, degenerate sizes and spoke counts,
# and pixels compared with goldens at 100 % and 150 %.
ql_add_gtest(ui_busy_indicators_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/busy_indicators_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  ENV
    QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
    QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
