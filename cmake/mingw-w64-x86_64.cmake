# Cross-build for 64-bit Windows with Debian's MinGW-w64 GCC:
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
#
# The posix thread model: GCC's win32 model has no std::thread or std::mutex,
# and GoogleTest needs them. Everything is linked statically, so the programs
# need no DLL beyond Windows' own (no libwinpthread-1.dll, libstdc++-6.dll or
# libgcc_s_seh-1.dll beside them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine; scripts/cross-check-windows gives it a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
