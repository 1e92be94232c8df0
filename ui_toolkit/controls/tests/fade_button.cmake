# The fade button in real windows: fades stepped tick by tick and checked in
# pixels, clicks, hostile images and states, destruction mid-fade, goldens.
ql_add_gtest(ui_fade_button_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fade_button_test.cc
    ${PROJECT_SOURCE_DIR}/ui_toolkit/core/tests/zip_builder.cc
  LIBS ql_ui_skin_test_support ql_ui_image_test_support QL::zlib
  LOCKS ql_ui_foreground
  ENV
    QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
    QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
