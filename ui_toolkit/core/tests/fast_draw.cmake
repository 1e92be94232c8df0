# The drawer's quick paths against its plain ones, on memory bitmaps and in
# windows (batched invalidations).
ql_add_gtest(ui_fast_draw_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fast_draw_test.cc
  LIBS ql_ui_skin_test_support ql_ui_image_test_support
  LOCKS ql_ui_foreground)
