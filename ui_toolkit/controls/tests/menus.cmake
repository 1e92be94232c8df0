# Pop-up menus: the close broadcast between menu windows and the records a
# menu hands to the application.
ql_add_gtest(ui_menu_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/menu_observer_test.cc
  LIBS ql_ui_skin_test_support)
