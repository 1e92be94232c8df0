# Image decoding and HSL colours (no window needed), and drawing onto memory
# device contexts.
add_library(ql_ui_image_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/image_bytes.cc)
target_link_libraries(ql_ui_image_test_support PUBLIC QL::stb QL::zlib)

ql_add_gtest(ui_image_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/image_decoder_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/draw_test.cc
  LIBS ql_ui_toolkit ql_ui_image_test_support)
