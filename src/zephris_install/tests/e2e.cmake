# The installer program end to end: a stamped copy runs silently against the
# rig's web API stand-in, nginx and fault server, installs the demo
# components into the test prefix, and talks to rig peers over IPC.
include(${PROJECT_SOURCE_DIR}/testing/http/rig.cmake)
include(${PROJECT_SOURCE_DIR}/testing/web_api/port.cmake)

# The demo archives under names of their own in the folder the rig serves.
set(_e2e_demo ${CMAKE_BINARY_DIR}/testing/demo_components/www)
add_test(NAME installer_e2e_archives
         COMMAND bash -c "cp \"$1/client.7z\" \"$2/e2e-client.7z\" && cp \"$1/engine.7z\" \"$2/e2e-engine.7z\""
                 copy ${_e2e_demo} ${QL_HTTP_RIG_DIR}/www)
set_tests_properties(installer_e2e_archives PROPERTIES FIXTURES_SETUP installer_e2e_archives
                     FIXTURES_REQUIRED http_files RESOURCE_LOCK installer_e2e_archives TIMEOUT 60)

ql_add_gtest(installer_e2e_test
  SOURCES installer_e2e_test.cc
  LIBS ql_net ql_base ql_install_record_stamp ql_testing_process ql_testing_telemetry ole32 uuid shell32
  FIXTURES web_api web_api_ca http_nginx http_fault installer_e2e_archives
  LOCKS quillorane_product firewall_policy_class installer_single_instance shell_link_folders
        registry_uninstall_quillorane registry_url_protocol_quillorane registry_apk_association ipc_clients
        hkcu_api_debug_mode quillorane_client_process collector8081
  ENV ${QL_HTTP_RIG_ENV} http_proxy= https_proxy= HTTP_PROXY= HTTPS_PROXY=
  TIMEOUT 600)
add_dependencies(installer_e2e_test QuilloraneInstaller ql_netfw_stand_in record_peer ipc_record_sender
                 ql_demo_components)
target_compile_definitions(installer_e2e_test PRIVATE
  QL_INSTALLER_EXE="$<TARGET_FILE:QuilloraneInstaller>"
  QL_NETFW_STAND_IN="$<TARGET_FILE:ql_netfw_stand_in>"
  QL_RECORD_PEER_EXE="$<TARGET_FILE:record_peer>"
  QL_IPC_RECORD_SENDER="$<TARGET_FILE:ipc_record_sender>")

# A silent install with a client executable whose OpenGL check never answers,
# planted where the start-up probe looks for it.
ql_add_gtest(installer_probe_delay_test
  SOURCES installer_probe_delay_test.cc
  LIBS ql_net ql_base ql_install_record_stamp ql_testing_process ql_testing_telemetry ole32 uuid shell32
  FIXTURES web_api web_api_ca http_nginx http_fault installer_e2e_archives
  LOCKS quillorane_product firewall_policy_class installer_single_instance shell_link_folders
        registry_uninstall_quillorane registry_url_protocol_quillorane registry_apk_association ipc_clients
        hkcu_api_debug_mode quillorane_client_process collector8081
  ENV ${QL_HTTP_RIG_ENV} http_proxy= https_proxy= HTTP_PROXY= HTTPS_PROXY=
  TIMEOUT 600)
add_dependencies(installer_probe_delay_test QuilloraneInstaller ql_netfw_stand_in record_peer ipc_record_sender
                 ql_demo_components ql_quilloranix_double)
target_compile_definitions(installer_probe_delay_test PRIVATE
  QL_INSTALLER_EXE="$<TARGET_FILE:QuilloraneInstaller>"
  QL_NETFW_STAND_IN="$<TARGET_FILE:ql_netfw_stand_in>"
  QL_RECORD_PEER_EXE="$<TARGET_FILE:record_peer>"
  QL_IPC_RECORD_SENDER="$<TARGET_FILE:ipc_record_sender>"
  QL_QUILLORANIX_DOUBLE_PATH="$<TARGET_FILE:ql_quilloranix_double>")

# The start toast of a silent install, with and without the rig's toast
# classes registered in the prefix.
ql_add_gtest(installer_toast_test
  SOURCES installer_toast_test.cc
  LIBS ql_net ql_base ql_install_record_stamp ql_testing_process ql_testing_telemetry ql_toast_lib ole32 uuid shell32
  FIXTURES web_api web_api_ca http_nginx http_fault installer_e2e_archives
  LOCKS quillorane_product firewall_policy_class installer_single_instance shell_link_folders
        registry_uninstall_quillorane registry_url_protocol_quillorane registry_apk_association ipc_clients
        hkcu_api_debug_mode quillorane_client_process collector8081 toast_runtime_classes toast_start_menu_link
  ENV ${QL_HTTP_RIG_ENV} http_proxy= https_proxy= HTTP_PROXY= HTTPS_PROXY=
  TIMEOUT 600)
add_dependencies(installer_toast_test QuilloraneInstaller ql_netfw_stand_in ql_toast_stand_in record_peer
                 ipc_record_sender ql_demo_components)
target_compile_definitions(installer_toast_test PRIVATE
  QL_INSTALLER_EXE="$<TARGET_FILE:QuilloraneInstaller>"
  QL_NETFW_STAND_IN="$<TARGET_FILE:ql_netfw_stand_in>"
  QL_RECORD_PEER_EXE="$<TARGET_FILE:record_peer>"
  QL_IPC_RECORD_SENDER="$<TARGET_FILE:ipc_record_sender>"
  QL_TOAST_STAND_IN="$<TARGET_FILE:ql_toast_stand_in>")

# The installer program with its main window, driven by mouse input from the
# test: a whole install through the cards, and the quit question.
ql_add_gtest(installer_window_e2e_test
  SOURCES installer_window_e2e_test.cc
  LIBS ql_net ql_base ql_install_record_stamp ql_testing_process ql_testing_telemetry ql_window_input ole32 uuid shell32
  FIXTURES web_api web_api_ca http_nginx http_fault installer_e2e_archives
  LOCKS quillorane_product firewall_policy_class installer_single_instance shell_link_folders
        registry_uninstall_quillorane registry_url_protocol_quillorane registry_apk_association ipc_clients
        hkcu_api_debug_mode quillorane_client_process collector8081 ql_ui_foreground
  ENV ${QL_HTTP_RIG_ENV} http_proxy= https_proxy= HTTP_PROXY= HTTPS_PROXY=
  TIMEOUT 900)
add_dependencies(installer_window_e2e_test QuilloraneInstaller ql_netfw_stand_in ql_demo_components)
target_compile_definitions(installer_window_e2e_test PRIVATE
  QL_INSTALLER_EXE="$<TARGET_FILE:QuilloraneInstaller>"
  QL_NETFW_STAND_IN="$<TARGET_FILE:ql_netfw_stand_in>"
  QL_RECORD_PEER_EXE="$<TARGET_FILE:record_peer>"
  QL_IPC_RECORD_SENDER="$<TARGET_FILE:ipc_record_sender>")
