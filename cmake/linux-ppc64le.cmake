# Cross-build for Linux on 64-bit POWER, little-endian (ppc64le), run under
# qemu-ppc64le-static:
#   cmake -S . -B build-ppc64le -G Ninja --toolchain cmake/linux-ppc64le.cmake
# (scripts/cross-check-arch ppc64le builds and checks it.)
set(prallwerk_cross_processor ppc64le)
set(prallwerk_cross_triple powerpc64le-linux-gnu)
set(prallwerk_cross_qemu qemu-ppc64le-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
