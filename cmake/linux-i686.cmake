# Cross-build for Linux on 32-bit x86 (i686), run under qemu-i386-static:
#   cmake -S . -B build-i686 -G Ninja --toolchain cmake/linux-i686.cmake
# (scripts/cross-check-arch i686 builds and checks it.)
set(prallwerk_cross_processor i686)
set(prallwerk_cross_triple i686-linux-gnu)
set(prallwerk_cross_qemu qemu-i386-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
