# Cross-compiles for Windows x86-64 with Debian's mingw-w64 posix-threads compilers.
# The win32-threads variant lacks std::thread, std::mutex and std::future in gcc 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLE}-windres)
set(CMAKE_AR           ${MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       ${MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Only the mingw sysroot and the dependency prefix are searched; the host's
# /usr/include must never reach a Windows compile.
set(QL_DEPS_PREFIX "$ENV{QL_DEPS_PREFIX}" CACHE PATH "Windows dependency prefix built by tools/bootstrap.sh")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${QL_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable runs on a bare Windows (or Wine) without the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
