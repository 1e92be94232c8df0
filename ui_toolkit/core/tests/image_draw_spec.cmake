# Parsing of image descriptions.
ql_add_gtest(ui_image_draw_spec_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_draw_spec_test.cc
  LIBS ql_ui_toolkit)
