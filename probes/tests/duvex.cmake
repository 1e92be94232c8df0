# Tests of the device-id library probe, with the stand-in duvex.dll beside the
# test program (where the installer looks for the maker's). The telemetry
# device identifier they pass on reads and may write the user's profiles.
ql_add_gtest(probes_duvex_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/duvex_loader_test.cc
  LIBS probes ql_testing_process
  LOCKS device_id_profiles)
ql_probe_rig(probes_duvex_test duvex_rig ql_duvex_double)
add_dependencies(probes_duvex_test ql_duvex_no_init_double)
target_compile_definitions(probes_duvex_test PRIVATE
  QL_DUVEX_NO_INIT_DIR="$<TARGET_FILE_DIR:ql_duvex_no_init_double>")
