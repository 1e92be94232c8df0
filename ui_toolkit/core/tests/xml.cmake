# The skin XML reader: texts, encodings, files and zip entries, hostile input.
ql_add_gtest(ui_xml_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ui_xml_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/zip_builder.cc
  LIBS ql_ui_toolkit QL::zlib)
