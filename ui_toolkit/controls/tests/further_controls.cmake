# Text, slider, animated image, group box, rolling text, colour palette,
# date-time and IP-address controls in real windows: driven by input and
# stepped timers, with golden pictures of their states (regenerate with
# ui_toolkit/tools/update-goldens.sh). The GIF fixtures are made by
# ui_toolkit/controls/tests/data/make-gifs.sh.
ql_add_gtest(ui_further_controls_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/text_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/slider_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/gif_anim_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/group_box_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/roll_text_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/color_palette_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ip_date_time_test.cc
    ${PROJECT_SOURCE_DIR}/ui_toolkit/core/tests/zip_builder.cc
  LIBS ql_ui_skin_test_support ql_ui_image_test_support QL::zlib
  LOCKS ql_ui_foreground
  ENV
    QL_UI_GOLDEN_DIR=Z:${PROJECT_SOURCE_DIR}/ui_toolkit/goldens
    QL_UI_RENDERED_DIR=Z:${PROJECT_BINARY_DIR}/ui_toolkit/rendered
    QL_UI_CONTROLS_TEST_DATA=Z:${CMAKE_CURRENT_LIST_DIR}/data)
