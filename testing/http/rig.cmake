# Where the HTTP test rig's servers listen and what tests need to reach them.
# A component's tests include this file and pass ${QL_HTTP_RIG_ENV} as ENV and
# the fixtures they need (http_nginx, http_fault) as FIXTURES to ql_add_gtest.
# Each including folder gets its own copy of the variables.
set(QL_HTTP_RIG_PORT_BASE 18080 CACHE STRING
    "First loopback port of the HTTP test rig (nginx on it, the fault server on the next)")
math(EXPR QL_HTTP_NGINX_PORT "${QL_HTTP_RIG_PORT_BASE}")
math(EXPR QL_HTTP_FAULT_PORT "${QL_HTTP_RIG_PORT_BASE} + 1")
set(QL_HTTP_RIG_DIR "${CMAKE_BINARY_DIR}/testing/http/rig")

if(WIN32)
  # Wine shows the Linux root as drive Z:.
  set(_rig_www "Z:${QL_HTTP_RIG_DIR}/www")
else()
  set(_rig_www "${QL_HTTP_RIG_DIR}/www")
endif()
set(QL_HTTP_RIG_ENV
    "QL_HTTP_NGINX_URL=http://127.0.0.1:${QL_HTTP_NGINX_PORT}"
    "QL_HTTP_FAULT_URL=http://127.0.0.1:${QL_HTTP_FAULT_PORT}"
    "QL_HTTP_RIG_WWW=${_rig_www}")
