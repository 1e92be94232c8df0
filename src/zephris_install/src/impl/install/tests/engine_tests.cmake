# The install engine's tests: a probe program runs the engine once per
# process against the rig's web API stand-in, nginx and fault server, with
# component archives that 7zz makes at test time.
include(${PROJECT_SOURCE_DIR}/testing/http/rig.cmake)
include(${PROJECT_SOURCE_DIR}/testing/web_api/port.cmake)

# A window program like a real setup: a console one gets a console window
# that takes the foreground from the window tests.
add_executable(engine_test_setup WIN32 tests/test_setup_main.cc)
target_link_libraries(engine_test_setup PRIVATE ql_base)

configure_file(tests/engine_probe.rc.in ${CMAKE_CURRENT_BINARY_DIR}/engine_probe.rc @ONLY)
add_executable(engine_probe tests/engine_probe_main.cc ${CMAKE_CURRENT_BINARY_DIR}/engine_probe.rc)
target_link_libraries(engine_probe PRIVATE ql_install_engine)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/engine_probe.rc PROPERTIES OBJECT_DEPENDS ${QL_SEVENZIP_DLL})

add_test(NAME engine_archives
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/make-archives.sh ${QL_HTTP_RIG_DIR}/www
                 $<TARGET_FILE:engine_test_setup> ${CMAKE_CURRENT_BINARY_DIR}/archive_work)
set_tests_properties(engine_archives PROPERTIES FIXTURES_SETUP engine_archives FIXTURES_REQUIRED http_files
                     RESOURCE_LOCK engine_archives TIMEOUT 60)

set(_engine_test_env ${QL_HTTP_RIG_ENV} http_proxy= https_proxy= HTTP_PROXY= HTTPS_PROXY=)
set(_engine_test_fixtures web_api web_api_ca http_nginx http_fault engine_archives)

# Runs that reach the install stage write the product's one uninstall entry
# and URL protocol. Every run tells the machine's IPC peers of its progress
# and errors, which a test's stand-in for the SDK process would hear as its own.
ql_add_gtest(install_engine_test
  SOURCES tests/install_engine_test.cc tests/engine_test_rig.cc
  LIBS ql_net ql_base
  FIXTURES ${_engine_test_fixtures}
  LOCKS registry_uninstall_quillorane ipc_clients
  ENV ${_engine_test_env}
  TIMEOUT 300)

# Download-only runs: nothing shared but the servers and the IPC peers.
# Several cases wait out fifteen attempts 2 s apart.
ql_add_gtest(install_engine_download_test
  SOURCES tests/install_engine_download_test.cc tests/engine_test_rig.cc
  LIBS ql_net ql_base
  FIXTURES ${_engine_test_fixtures}
  LOCKS ipc_clients
  ENV ${_engine_test_env}
  TIMEOUT 300)

foreach(_test install_engine_test install_engine_download_test)
  add_dependencies(${_test} engine_probe engine_test_setup)
  target_compile_definitions(${_test} PRIVATE QL_ENGINE_PROBE="$<TARGET_FILE_NAME:engine_probe>")
endforeach()

# A download-only installer of the rig (an IPC peer under the machine-wide
# name of client type 10011) receives the engine's stop question.
ql_add_gtest(install_engine_ipc_test
  SOURCES tests/install_engine_ipc_test.cc tests/engine_test_rig.cc
  LIBS ql_net ql_base
  FIXTURES ${_engine_test_fixtures}
  LOCKS ipc_clients
  ENV ${_engine_test_env}
  TIMEOUT 300)
add_dependencies(install_engine_ipc_test engine_probe engine_test_setup ipc_peer)
target_compile_definitions(install_engine_ipc_test PRIVATE
  QL_ENGINE_PROBE="$<TARGET_FILE_NAME:engine_probe>" QL_IPC_PEER_EXE="$<TARGET_FILE:ipc_peer>")
