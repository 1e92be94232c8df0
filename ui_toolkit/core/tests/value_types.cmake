# The toolkit's string, pointer array, string map, rectangle and size.
ql_add_gtest(ui_value_types_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ui_string_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_ptr_array_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_string_ptr_map_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_rect_test.cc
  LIBS ql_ui_toolkit)
