# Cross-build for Linux on another processor with Debian's GCC cross
# compilers, linked statically, and the tests run by qemu's user-mode
# emulator (qemu-user-static), which needs neither the target's libraries
# nor a root of its own. The processor's toolchain file names the three:
#   prallwerk_cross_processor  CMAKE_SYSTEM_PROCESSOR (aarch64, s390x, ppc64le, i686)
#   prallwerk_cross_triple     the compilers' prefix (aarch64-linux-gnu)
#   prallwerk_cross_qemu       the emulator (qemu-aarch64-static)
# scripts/cross-check-arch uses them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${prallwerk_cross_processor})

set(CMAKE_C_COMPILER ${prallwerk_cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${prallwerk_cross_triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${prallwerk_cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${prallwerk_cross_qemu})
