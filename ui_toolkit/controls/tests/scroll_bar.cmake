# The scroll bar in real windows: mouse, repeat timer, extreme ranges, goldens.
# Fragments are read in name order, so the golden folders are named here.
set(_golden_env
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
ql_add_gtest(ui_scroll_bar_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/scroll_bar_test.cc
    ${PROJECT_SOURCE_DIR}/ui_toolkit/core/tests/zip_builder.cc
  LIBS ql_ui_skin_test_support ql_ui_image_test_support QL::zlib
  LOCKS ql_ui_foreground
  ENV ${_golden_env})
