# ql_add_gtest(<name> SOURCES ... [LIBS ...] [LOCKS ...] [FIXTURES ...] [ENV VAR=value ...] [TIMEOUT s])
#
# Builds a GoogleTest executable and registers each of its cases with ctest.
# In the Windows build every case runs as a Windows program under Wine, through
# the emulator script below, in the build tree's own Wine prefix.
# LOCKS names machine-wide state the cases touch (registry keys, named kernel
# objects, fixed folders); ctest never runs two cases holding one lock at once.
# FIXTURES names ctest fixtures (for example a loopback server started by a
# setup test) the cases need; ENV passes variables to the cases (Wine hands
# the environment on to the Windows program).
include(GoogleTest)
enable_testing()

if(WIN32)
  set(QL_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the test rig")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-exec.in ${CMAKE_BINARY_DIR}/wine-exec @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-exec)
  add_custom_target(ql_wineprefix ALL
    COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${QL_WINEPREFIX}
    COMMENT "Preparing the Wine prefix of the test rig"
    VERBATIM)
endif()

function(ql_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LOCKS;FIXTURES;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} QL::gmock QL::gtest_main)
  set(props TIMEOUT ${T_TIMEOUT})
  if(WIN32)
    add_dependencies(${name} ql_wineprefix)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${props})

  # List-valued properties (several locks, fixtures or variables) do not
  # survive gtest_discover_tests, which flattens them; they are set by a file
  # that ctest reads after the discovered tests, on the list of their names.
  set(list_props "")
  foreach(pair IN ITEMS "LOCKS=RESOURCE_LOCK" "FIXTURES=FIXTURES_REQUIRED" "ENV=ENVIRONMENT")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 arg)
    list(GET pair 1 prop)
    if(T_${arg})
      string(APPEND list_props " ${prop} [==[${T_${arg}}]==]")
    endif()
  endforeach()
  if(list_props)
    set(file "${CMAKE_CURRENT_BINARY_DIR}/${name}_list_properties.cmake")
    file(WRITE "${file}" "if(DEFINED ${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES${list_props})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${file}")
  endif()
endfunction()
