# Imported targets with the same names in both builds, so a component's
# CMakeLists does not care which one it is part of.
#   QL::zlib QL::sqlite QL::sqlitecpp QL::crypto QL::json QL::fmt QL::stb
#   QL::gtest QL::gtest_main QL::gmock            (both builds)
#   QL::curl QL::sevenzip_dll (path)              (Windows build only)

function(ql_interface name)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
endfunction()

if(WIN32)
  if(NOT QL_DEPS_PREFIX OR NOT EXISTS "${QL_DEPS_PREFIX}/include")
    message(FATAL_ERROR "QL_DEPS_PREFIX (${QL_DEPS_PREFIX}) holds no dependencies: run tools/bootstrap.sh")
  endif()
  set(_inc "${QL_DEPS_PREFIX}/include")

  function(ql_static name file)
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES
      IMPORTED_LOCATION "${QL_DEPS_PREFIX}/lib/${file}"
      INTERFACE_INCLUDE_DIRECTORIES "${_inc}")
  endfunction()

  ql_static(QL::zlib libz.a)
  ql_static(QL::sqlite libsqlite3.a)
  ql_static(QL::sqlitecpp libSQLiteCpp.a)
  set_target_properties(QL::sqlitecpp PROPERTIES INTERFACE_LINK_LIBRARIES QL::sqlite
    INTERFACE_COMPILE_DEFINITIONS SQLITE_ENABLE_COLUMN_METADATA)
  ql_static(QL::crypto libcrypto.a)
  set_property(TARGET QL::crypto PROPERTY INTERFACE_LINK_LIBRARIES ws2_32)
  ql_static(QL::curl libcurl.a)
  set_target_properties(QL::curl PROPERTIES
    INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
    INTERFACE_LINK_LIBRARIES "QL::zlib;ws2_32;crypt32;bcrypt;advapi32")

  ql_static(QL::gtest libgtest.a)
  ql_static(QL::gtest_main libgtest_main.a)
  set_property(TARGET QL::gtest_main PROPERTY INTERFACE_LINK_LIBRARIES QL::gtest)
  ql_static(QL::gmock libgmock.a)
  set_property(TARGET QL::gmock PROPERTY INTERFACE_LINK_LIBRARIES QL::gtest)

  ql_interface(QL::json)
  set_property(TARGET QL::json PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${_inc}")
  ql_interface(QL::fmt)
  set_target_properties(QL::fmt PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_inc}"
    INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)
  ql_interface(QL::stb)
  set_property(TARGET QL::stb PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${_inc}")

  set(QL_SEVENZIP_DLL "${QL_DEPS_PREFIX}/bin/7z.dll" CACHE FILEPATH "7-Zip engine DLL")
else()
  find_package(ZLIB REQUIRED)
  find_package(SQLite3 REQUIRED)
  find_package(SQLiteCpp REQUIRED)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(nlohmann_json REQUIRED)
  find_package(fmt REQUIRED)
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)

  ql_interface(QL::zlib)
  set_property(TARGET QL::zlib PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
  ql_interface(QL::sqlite)
  set_property(TARGET QL::sqlite PROPERTY INTERFACE_LINK_LIBRARIES SQLite::SQLite3)
  ql_interface(QL::sqlitecpp)
  set_property(TARGET QL::sqlitecpp PROPERTY INTERFACE_LINK_LIBRARIES SQLiteCpp SQLite::SQLite3)
  ql_interface(QL::crypto)
  set_property(TARGET QL::crypto PROPERTY INTERFACE_LINK_LIBRARIES OpenSSL::Crypto)
  ql_interface(QL::json)
  set_property(TARGET QL::json PROPERTY INTERFACE_LINK_LIBRARIES nlohmann_json::nlohmann_json)
  ql_interface(QL::fmt)
  set_property(TARGET QL::fmt PROPERTY INTERFACE_LINK_LIBRARIES fmt::fmt)
  ql_interface(QL::stb)
  ql_interface(QL::gtest)
  set_property(TARGET QL::gtest PROPERTY INTERFACE_LINK_LIBRARIES GTest::gtest Threads::Threads)
  ql_interface(QL::gtest_main)
  set_property(TARGET QL::gtest_main PROPERTY INTERFACE_LINK_LIBRARIES GTest::gtest_main Threads::Threads)
  ql_interface(QL::gmock)
  set_property(TARGET QL::gmock PROPERTY INTERFACE_LINK_LIBRARIES GTest::gmock)
endif()
