# Tests of the foundation: product log, text conversions, hashing and
# encoding, command-line parser. The platform-free ones run in both builds.
ql_add_gtest(base_foundation_portable_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cmdline_parser_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/function_name_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/md5_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/string_util_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/xxtea_test.cc
  LIBS ql_base_portable)

if(WIN32)
  # Each case works in a temporary folder of its own (the product log through
  # TMP/TEMP), so nothing machine-wide is shared and no lock is needed.
  ql_add_gtest(base_foundation_windows_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/file_md5_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/product_log_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/text_conversion_test.cc
    LIBS ql_base)
endif()
