# ActiveX host, web browser and Flash controls. The hosted OLE controls come
# from a test module of the project's own, built here beside the test and
# registered in the test prefix by the test itself.
add_library(test_ole_control SHARED ${CMAKE_CURRENT_LIST_DIR}/test_ole_control.cc)
set_target_properties(test_ole_control PROPERTIES PREFIX "")
target_include_directories(test_ole_control PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(test_ole_control PRIVATE ole32 oleaut32 uuid user32 gdi32)
target_link_options(test_ole_control PRIVATE -static -static-libgcc -static-libstdc++)

ql_add_gtest(ui_activex_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/activex_test.cc
  LIBS ql_ui_skin_test_support
  LOCKS ql_ui_foreground
  # Without its HTML engine Wine's WebBrowser object would offer to install
  # one; the tests never want that prompt.
  ENV "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=")
add_dependencies(ui_activex_test test_ole_control)
