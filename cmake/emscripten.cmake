# Build for WebAssembly with Debian's Emscripten (no ports):
#   cmake -S . -B build-wasm -G Ninja --toolchain cmake/emscripten.cmake -DPRALLWERK_BUILD_APP=OFF
# The tools and the tests are then Node programs (see PRALLWERK_NODE_PROGRAM
# in the top CMakeLists.txt); ctest runs them under Node.
execute_process(COMMAND em-config EMSCRIPTEN_ROOT
                OUTPUT_VARIABLE emscripten_root OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE emscripten_found)
if(NOT emscripten_found EQUAL 0 OR NOT EXISTS "${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")
  message(FATAL_ERROR "No Emscripten: install Debian's emscripten package (scripts/install-deps)")
endif()
include("${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")

# em++ runs a JavaScript optimizer under Node when it links, which needs the
# acorn module. Debian puts it in /usr/share/nodejs, where a Node that does not
# come from Debian does not look; the linker gets the path itself, so a build
# works from any shell.
if(EXISTS /usr/share/nodejs/acorn)
  set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
  set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
endif()
