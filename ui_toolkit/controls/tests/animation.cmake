# Animation jobs and the animated tab layout, stepped tick by tick.
# Fragments are read in name order, so the golden folders are named here.
set(_golden_env
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
ql_add_gtest(ui_animation_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ui_animation_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/animation_tab_layout_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  ENV ${_golden_env})
