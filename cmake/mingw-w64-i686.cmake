# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 GCC (posix thread model).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
