# Cross-build for Linux on IBM Z (s390x, big-endian), run under qemu-s390x-static:
#   cmake -S . -B build-s390x -G Ninja --toolchain cmake/linux-s390x.cmake
# (scripts/cross-check-arch s390x builds and checks it.)
set(prallwerk_cross_processor s390x)
set(prallwerk_cross_triple s390x-linux-gnu)
set(prallwerk_cross_qemu qemu-s390x-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
