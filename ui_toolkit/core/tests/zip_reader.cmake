# The resource zip reader, against archives built byte by byte (hostile ones
# included) and one archive encrypted by Info-ZIP.
ql_add_gtest(ui_zip_reader_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/zip_reader_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/zip_builder.cc
  LIBS ql_ui_toolkit QL::zlib
  ENV QL_UI_CORE_TEST_DATA=${CMAKE_CURRENT_LIST_DIR}/data)
