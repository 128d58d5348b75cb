# Cross build for 64-bit Windows with mingw-w64 (Debian package
# g++-mingw-w64-x86-64-posix). The posix flavour of the compilers brings
# winpthreads, the POSIX-threads library the -pthread programs link.
#   cmake -S . -B build-win64 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake
set(SUITE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
