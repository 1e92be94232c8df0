# Tests of the process utilities, system probes, named mutexes and process
# rights. Child processes are the helper programs of testing/process; cases
# that touch one fixed machine-wide thing hold the lock named after it.
ql_add_gtest(base_retry_until_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/retry_until_test.cc
  LIBS ql_base_portable)

if(WIN32)
  # Every child runs under a name or in a folder of its own test process.
  ql_add_gtest(base_process_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/cpu_usage_meter_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/process_util_test.cc
    LIBS ql_base ql_testing_process)

  # The writability test creates and removes C:\zephris_temp.txt; the version
  # cases use per-program Wine settings of their own; the image folder lives
  # under a product name of the test process's own.
  ql_add_gtest(base_system_probe_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/disk_drive_map_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/system_probe_test.cc
    LIBS ql_base ql_testing_process
    LOCKS zephris_temp_file)

  ql_add_gtest(base_named_mutex_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/guid_string_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/named_mutex_test.cc
    LIBS ql_base ql_testing_process)

  # The installer's own mutex names, the service GET_VT and the clipboard.
  ql_add_gtest(base_process_marks_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/clipboard_guard_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/process_rights_test.cc
      ${CMAKE_CURRENT_LIST_DIR}/single_instance_test.cc
    LIBS ql_base ql_testing_process
    LOCKS installer_single_instance get_vt_service clipboard)
endif()

if(WIN32)
  # The helper computes the telemetry device identifier, which reads and may
  # write the user's identifier profile.
  ql_add_gtest(base_singletons_at_exit_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/singletons_at_exit_test.cc
    LIBS ql_base ql_testing_process
    LOCKS device_id_profiles)
endif()
