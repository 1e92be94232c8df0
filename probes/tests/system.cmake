# Security-software probe: the table and stored value from an ordinary
# program, the detection from one whose name holds the store brand.
ql_add_gtest(security_software_test
  SOURCES tests/security_software_test.cc
  LIBS probes)
ql_add_gtest(ZephrisStore_security_software_test
  SOURCES tests/store_security_software_test.cc
  LIBS probes
  LOCKS probes_store_product_key)

# System information probes over Wine's registry, WMI, setup API and processes.
ql_add_gtest(system_info_test
  SOURCES tests/system_info_test.cc
  LIBS probes
  LOCKS windows_current_version probes_performance_mode)
ql_add_gtest(display_adapters_test SOURCES tests/display_adapters_test.cc LIBS probes)
ql_add_gtest(power_status_test SOURCES tests/power_status_test.cc LIBS probes)
ql_add_gtest(process_usage_test SOURCES tests/process_usage_test.cc LIBS probes)

add_executable(opengl_checker_double tests/opengl_checker_double.cc)
ql_add_gtest(opengl_check_test
  SOURCES tests/opengl_check_test.cc
  LIBS probes ql_testing_process)
target_compile_definitions(opengl_check_test PRIVATE QL_OPENGL_CHECKER_DOUBLE="$<TARGET_FILE:opengl_checker_double>")
add_dependencies(opengl_check_test opengl_checker_double)

# Virtualisation probes, with a kernel driver of the rig's own that Wine's
# service manager loads. Built straight by the compiler: a driver links
# against ntoskrnl only, without the C runtime the toolchain adds to programs.
find_path(QL_MINGW_INCLUDE_DIR ddk/ntddk.h REQUIRED)
set(_vt_driver ${CMAKE_CURRENT_BINARY_DIR}/vt_driver_double.sys)
add_custom_command(OUTPUT ${_vt_driver}
  COMMAND ${CMAKE_C_COMPILER} -O2 -Wall -isystem ${QL_MINGW_INCLUDE_DIR}/ddk
          -shared -nostdlib -Wl,--subsystem,native -Wl,--entry,DriverEntry
          -o ${_vt_driver} ${CMAKE_CURRENT_LIST_DIR}/vt_driver_double.c -lntoskrnl
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/vt_driver_double.c
  VERBATIM)
add_custom_target(vt_driver_double DEPENDS ${_vt_driver})
ql_add_gtest(vt_driver_probe_test
  SOURCES tests/vt_driver_probe_test.cc
  LIBS probes ql_testing_process
  LOCKS vt_driver_service)
target_compile_definitions(vt_driver_probe_test PRIVATE QL_VT_DRIVER_DOUBLE="${_vt_driver}")
add_dependencies(vt_driver_probe_test vt_driver_double)
