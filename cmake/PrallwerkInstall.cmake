# Installing the engine for other projects: the install component "engine".
#
#   lib/libprallwerk_<layer>.a             the five layers' static libraries
#   include/prallwerk/<layer>/*.h          their public headers, included as
#                                          <prallwerk/<layer>/<file>.h>, the
#                                          same path the engine's own sources use
#   lib/cmake/Prallwerk/                   find_package(Prallwerk CONFIG) gives
#                                          Prallwerk::engine (and the layers as
#                                          Prallwerk::<layer>), with its version
#   lib/pkgconfig/prallwerk.pc             the same for pkg-config
#
# (lib/ is CMAKE_INSTALL_LIBDIR.) The program's component is packaging/'s.

include(CMakePackageConfigHelpers)

# Where the project lives on the web (the pkg-config file, the package and
# the AppStream metadata name it).
set(PRALLWERK_HOMEPAGE "https://prallwerk.example/" CACHE STRING "The project's home page, ending in /")

set(prallwerk_layers math core collision world scenes)

# Headers that only a layer's own sources include stay out of the install.
set(prallwerk_private_headers trig_stages.h trig_constants.inc sampling.h)

# Code that includes the engine's headers rounds as the engine does: no fused
# multiply-add in their inline vector arithmetic either (a copy of an inline
# function that the linker keeps may come from the user's object file rather
# than the engine's). The layers carry PRALLWERK_ROUNDING_OPTIONS for that.
# C++17 at least, for the headers' inline variables.
target_compile_features(prallwerk_engine INTERFACE cxx_std_17)
# The same for pkg-config, whose users' compiler is not known: GCC's and
# Clang's flags both (Clang reads -fno-tree-vectorize as -fno-vectorize).
set(prallwerk_pc_cflags "-ffp-contract=off -fno-tree-vectorize")
if(PRALLWERK_TARGET_X86)
  string(APPEND prallwerk_pc_cflags " -msse2 -mfpmath=sse")
endif()

set(prallwerk_layer_targets)
set(prallwerk_link_flags)
foreach(layer ${prallwerk_layers})
  list(APPEND prallwerk_layer_targets prallwerk_${layer})
  # Static libraries go to the linker higher layers first.
  list(PREPEND prallwerk_link_flags -lprallwerk_${layer})
  set(exclude)
  foreach(header ${prallwerk_private_headers})
    list(APPEND exclude PATTERN ${header} EXCLUDE)
  endforeach()
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${layer}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/prallwerk/${layer}
    COMPONENT engine
    FILES_MATCHING PATTERN "*.h" ${exclude})
endforeach()
# The world runs islands on threads (std::thread).
if(NOT EMSCRIPTEN)
  list(APPEND prallwerk_link_flags -pthread)
endif()
list(JOIN prallwerk_link_flags " " prallwerk_link_flags)

install(TARGETS prallwerk_engine ${prallwerk_layer_targets}
  EXPORT PrallwerkTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine)

set(prallwerk_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Prallwerk)
install(EXPORT PrallwerkTargets
  NAMESPACE Prallwerk::
  DESTINATION ${prallwerk_cmake_dir}
  COMPONENT engine)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PrallwerkConfig.cmake.in
  ${PROJECT_BINARY_DIR}/PrallwerkConfig.cmake
  INSTALL_DESTINATION ${prallwerk_cmake_dir})
# 0.x releases may change the interface between minor versions.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PrallwerkConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/PrallwerkConfig.cmake ${PROJECT_BINARY_DIR}/PrallwerkConfigVersion.cmake
  DESTINATION ${prallwerk_cmake_dir}
  COMPONENT engine)

# pkg-config: the prefix is found from the .pc file's own place, so that the
# installed tree can move.
set(prallwerk_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
string(REGEX REPLACE "[^/]+" ".." prallwerk_pc_to_prefix ${prallwerk_pc_dir})
configure_file(${CMAKE_CURRENT_LIST_DIR}/prallwerk.pc.in ${PROJECT_BINARY_DIR}/prallwerk.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/prallwerk.pc DESTINATION ${prallwerk_pc_dir} COMPONENT engine)
