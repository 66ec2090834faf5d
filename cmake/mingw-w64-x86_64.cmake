# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 GCC (posix thread model).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
