# Build the engine, its tools and its tests for WebAssembly with Debian's
# Emscripten (no ports), as Node programs that ctest runs under Node:
#   cmake -S . -B build-wasm -G Ninja --toolchain cmake/emscripten.cmake -DPRALLWERK_BUILD_APP=OFF
# Emscripten's own toolchain file with Node as the emulator. (emcmake would
# give the emulator --experimental-wasm-threads, which Node 20 refuses.)
execute_process(COMMAND em-config EMSCRIPTEN_ROOT
                OUTPUT_VARIABLE emscripten_root OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE emscripten_found)
if(NOT emscripten_found EQUAL 0 OR NOT EXISTS "${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")
  message(FATAL_ERROR "No Emscripten: install Debian's emscripten package (scripts/install-deps)")
endif()
include("${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")
