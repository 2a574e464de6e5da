# Header-only libraries of the build machine (Debian's libfmt-dev,
# nlohmann-json3-dev, libfast-float-dev), compiled into the engine's own
# sources privately, so that nothing of them is needed at run time or by a
# project that uses the installed engine.
#
# A cross-build (MinGW, Emscripten) sees only the one folder of each library,
# through a link in the build folder, so that no other header of the build
# machine shadows its target's own.
function(prallwerk_host_headers target folder header)
  string(MAKE_C_IDENTIFIER ${folder} id)
  string(TOUPPER ${id} id)
  find_path(PRALLWERK_${id}_INCLUDE_DIR ${folder}/${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(view ${PROJECT_BINARY_DIR}/host-headers/${folder})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${PRALLWERK_${id}_INCLUDE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  target_include_directories(${target} SYSTEM PRIVATE $<BUILD_INTERFACE:${view}>)
endfunction()
