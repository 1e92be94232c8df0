# Where the web API stand-in listens, for the fixture that starts it and for
# the Windows code and tests that reach it under the test host name. Three
# ports: the service, then the same endpoints with a certificate for another
# host name, then with one from an unknown issuer.
set(QL_WEB_API_PORT 18643 CACHE STRING
    "HTTPS port of the web API stand-in (the next two ports serve the wrong-certificate cases)")
set(QL_WEB_API_TEST_HOST "api.quillorane.test")
set(QL_WEB_API_PRODUCTION_HOST "webapi.quillorane.test")
set(QL_WEB_API_CERTS "${PROJECT_SOURCE_DIR}/testing/web_api/certs")
