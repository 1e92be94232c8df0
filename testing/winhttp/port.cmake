# The port of the WinHTTP tests' loopback server, for the fixture that starts
# it and the tests that reach it (each including folder gets its own copy).
# One port per build tree in 18500-18544 (HTTPS on the port + 45), so two
# trees can run their tests at the same time; 18599 stays free for the
# refused-connection cases.
string(MD5 _winhttp_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${_winhttp_hash}" 0 4 _winhttp_hash)
math(EXPR QL_WINHTTP_TEST_PORT "18500 + (0x${_winhttp_hash} % 45)")
