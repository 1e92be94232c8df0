# Tests of the GPU facts, the display card list and the NVIDIA profile. Each
# test program lives in a folder of its own with the stand-ins it needs beside
# it, where the product looks for the real ones:
#   graphics_rig  nvapi64.dll (the driver API library is looked up by name)
#   store_rig     dxdiag.exe; the program's name holds the store brand, as the
#                 card scan runs only in the store process
#   bare_rig      nothing: the paths of a machine without them
# Cases keep their facts under a product name of their own; the card report
# file of one program is shared by its cases, hence the lock.
set(_probe_fixtures ${CMAKE_CURRENT_LIST_DIR}/fixtures)

function(ql_probe_rig target folder)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${folder})
  # Copied whenever the stand-in changes, not only when the test relinks.
  foreach(double IN LISTS ARGN)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_${double}.copied)
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${folder}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${double}> ${CMAKE_CURRENT_BINARY_DIR}/${folder}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${double} $<TARGET_FILE:${double}>
      VERBATIM)
    add_custom_target(${target}_${double} DEPENDS ${stamp})
    add_dependencies(${target} ${target}_${double})
  endforeach()
  add_dependencies(${target} ql_quilloranix_double)
  target_compile_definitions(${target} PRIVATE
    QL_QUILLORANIX_DOUBLE_PATH="$<TARGET_FILE:ql_quilloranix_double>"
    QL_PROBE_FIXTURES_DIR="${_probe_fixtures}")
endfunction()

ql_add_gtest(probes_graphic_info_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/graphic_info_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/nvidia_profile_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/text_match_test.cc
  LIBS probes ql_testing_process
  TIMEOUT 180)
ql_probe_rig(probes_graphic_info_test graphics_rig ql_nvapi_double)

# The store process ending while its card scan waits for a tool that never ends.
add_executable(ZephrisStore_detector_exit ${CMAKE_CURRENT_LIST_DIR}/detector_exit_main.cc)
target_link_libraries(ZephrisStore_detector_exit PRIVATE probes)
target_link_options(ZephrisStore_detector_exit PRIVATE -municode)
set_target_properties(ZephrisStore_detector_exit PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/store_rig)

ql_add_gtest(ZephrisStore_probes_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dxdiag_cards_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/card_scan_test.cc
  LIBS probes ql_testing_process
  LOCKS probes_store_dxdiag_report
  TIMEOUT 180)
ql_probe_rig(ZephrisStore_probes_test store_rig ql_dxdiag_double)
add_dependencies(ZephrisStore_probes_test ZephrisStore_detector_exit)

ql_add_gtest(probes_absent_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/absent_test.cc
  LIBS probes ql_testing_process
  LOCKS device_id_profiles)
ql_probe_rig(probes_absent_test bare_rig)
