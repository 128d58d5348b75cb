# Cross build for 32-bit Windows with mingw-w64 (Debian package
# g++-mingw-w64-i686-posix), the Windows programs' own target. The posix
# flavour of the compilers brings winpthreads, the POSIX-threads library
# the -pthread programs link.
#   cmake -S . -B build-win32 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/i686-w64-mingw32.cmake
set(SUITE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
