# What every cross build for Windows here shares: the MinGW-w64 headers and libraries of
# the target named by `triple`, and binutils' resource compiler. Included by the
# toolchain files, after they set `triple` and the compilers.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
