# Cross-compiles for 64-bit Windows with clang and lld, on the MinGW-w64 runtime and the
# libstdc++ of Debian's MinGW-w64 GCC (posix thread model).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# The sysroot keeps the build machine's own headers and libraries out of the search.
# clang reads GCC's directory names as versions and so passes over Debian's "12-posix":
# the C++ headers, libstdc++ and libgcc are named here, from where that GCC keeps them.
execute_process(COMMAND ${triple}-gcc-posix -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
cmake_path(GET libgcc PARENT_PATH gcc_dir)
set(CMAKE_SYSROOT /usr/${triple})
string(JOIN " " CMAKE_CXX_FLAGS_INIT -isystem ${gcc_dir}/include/c++
       -isystem ${gcc_dir}/include/c++/${triple} -isystem ${gcc_dir}/include/c++/backward)
# clang pads its own copies of the standard exceptions' type names, which GNU ld then warns
# differ in size from libstdc++'s, once for each such type in each program; lld takes either.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${gcc_dir} -fuse-ld=lld")
