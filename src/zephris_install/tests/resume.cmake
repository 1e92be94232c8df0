# The installer program killed and started again, and run out of disk space:
# the real program, stamped with an install record of the test's own channel,
# against the web API stand-in and the fault server, with a large client
# component that 7zz makes at test time. Each case installs the product for
# real in the test prefix and puts it back to nothing afterwards.
include(${PROJECT_SOURCE_DIR}/testing/http/rig.cmake)
include(${PROJECT_SOURCE_DIR}/testing/web_api/port.cmake)

set(_resume_work ${CMAKE_CURRENT_BINARY_DIR}/resume_work)
set(_resume_disk ${CMAKE_CURRENT_BINARY_DIR}/resume_disk)

add_test(NAME installer_resume_archive
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/make-resume-archive.sh ${QL_HTTP_RIG_DIR}/www
                 ${CMAKE_BINARY_DIR}/testing/demo_components/client ${_resume_work})
set_tests_properties(installer_resume_archive PROPERTIES FIXTURES_SETUP installer_resume_archive
                     FIXTURES_REQUIRED http_files RESOURCE_LOCK installer_resume_archive TIMEOUT 60)

add_test(NAME installer_small_disk_mount
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/resume-disk.sh mount ${QL_WINEPREFIX} ${_resume_disk})
add_test(NAME installer_small_disk_unmount
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/resume-disk.sh unmount ${QL_WINEPREFIX} ${_resume_disk})
set_tests_properties(installer_small_disk_mount PROPERTIES FIXTURES_SETUP installer_small_disk
                     RESOURCE_LOCK wine_drive_r TIMEOUT 30)
set_tests_properties(installer_small_disk_unmount PROPERTIES FIXTURES_CLEANUP installer_small_disk
                     RESOURCE_LOCK wine_drive_r TIMEOUT 30)

ql_add_gtest(installer_resume_test
  SOURCES installer_resume_test.cc
  LIBS ql_net ql_base ql_install_record_stamp ql_testing_process
  FIXTURES web_api web_api_ca http_fault http_files installer_resume_archive installer_small_disk
  LOCKS quillorane_product firewall_policy_class installer_single_instance shell_link_folders
        registry_uninstall_quillorane registry_url_protocol_quillorane registry_apk_association ipc_clients
        hkcu_api_debug_mode quillorane_client_process wine_drive_r
  ENV ${QL_HTTP_RIG_ENV} http_proxy= https_proxy= HTTP_PROXY= HTTPS_PROXY=
      QL_RESUME_SOURCE=Z:${_resume_work}/client QL_RESUME_DISK_STATE=Z:${_resume_disk}
  TIMEOUT 300)
add_dependencies(installer_resume_test QuilloraneInstaller ql_demo_components)
target_compile_definitions(installer_resume_test PRIVATE QL_INSTALLER_EXE="$<TARGET_FILE:QuilloraneInstaller>")
