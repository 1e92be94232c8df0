# Drawing with a window's paint manager: image descriptions, image sources,
# text and marked-up text.
ql_add_gtest(ui_draw_window_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/draw_window_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/zip_builder.cc
  LIBS ql_ui_skin_test_support ql_ui_image_test_support QL::zlib
  LOCKS ql_ui_foreground)
