# Cross-build for Linux on 64-bit ARM (AArch64), run under qemu-aarch64-static:
#   cmake -S . -B build-aarch64 -G Ninja --toolchain cmake/linux-aarch64.cmake
# (scripts/cross-check-arch aarch64 builds and checks it.)
set(prallwerk_cross_processor aarch64)
set(prallwerk_cross_triple aarch64-linux-gnu)
set(prallwerk_cross_qemu qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
