# Pop-up menus and combos: the close broadcast between menu windows, the
# records a menu hands to the application, and menus and drop-downs in real
# windows driven by input, with golden pictures of their open states
# (regenerate with ui_toolkit/tools/update-goldens.sh).
ql_add_gtest(ui_menu_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/menu_observer_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/menu_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/combo_test.cc
    ${PROJECT_SOURCE_DIR}/ui_toolkit/core/tests/zip_builder.cc
  LIBS ql_ui_skin_test_support ql_ui_image_test_support QL::zlib
  LOCKS ql_ui_foreground
  ENV
    QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
    QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)
