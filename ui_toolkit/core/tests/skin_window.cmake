# Skinned windows on the display: window wrapper and pump, paint manager
# events, focus, timers and notifications, layout and the paint pass, the
# skin builder and the skinned-window base. Pixels are compared with goldens
# (regenerate with ui_toolkit/tools/update-goldens.sh after a deliberate change).
add_library(ql_ui_skin_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/skin_window.cc
  ${CMAKE_CURRENT_LIST_DIR}/golden_image.cc)
target_link_libraries(ql_ui_skin_test_support PUBLIC ql_ui_toolkit QL::stb)

set(QL_UI_GOLDEN_ENV
  QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
  QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered)

# The cases open windows and move the keyboard focus between them; one lock
# keeps two cases from fighting over the foreground.
ql_add_gtest(ui_skin_window_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/window_wnd_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/paint_manager_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/layout_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/skin_builder_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/paint_pass_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/shadow_and_window_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  ENV ${QL_UI_GOLDEN_ENV})
