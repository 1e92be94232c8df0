# Label, button, option, check box, progress bar and edit box in real
# windows: notifications, states, pixels of the progress fill.
ql_add_gtest(ui_controls_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground)
