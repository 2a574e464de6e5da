# The engine's layers: each a static library of its own folder, linking only
# the layers below it.
#
# Sources include engine headers as "prallwerk/<layer>/<file>.h". A layer's
# include folder in the build shows only that layer (build/layers/<layer>/
# prallwerk/<layer>, a link to its source folder), and a target sees the
# folders of the layers it links and nothing else. So a lower layer that
# includes a header of a higher one does not compile: the header is not found.
# Installed, every layer's headers sit under one include/prallwerk/.
function(prallwerk_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
  set(view ${PROJECT_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${view}/prallwerk)
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${view}/prallwerk/${layer} SYMBOLIC)

  set(target prallwerk_${layer})
  add_library(${target} STATIC ${arg_SOURCES})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${view}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${target} PUBLIC ${arg_LINKS})
  # Rounding as the engine does, for the layer and whatever uses it.
  target_compile_options(${target} PUBLIC ${PRALLWERK_ROUNDING_OPTIONS})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${layer})
  prallwerk_warnings(${target})
  # WebAssembly: the layers as LLVM bitcode, optimised as one at each link, so
  # that a layer's small functions are inlined into the layers above it, as
  # within one file. (A call costs more there than natively; Emscripten's
  # own libraries are not built for it, so only the engine is.)
  if(EMSCRIPTEN)
    target_compile_options(${target} PRIVATE -flto)
  endif()
  # The engine's checks (prallwerk/math/assertion.h) for its own sources
  # only: switching them rebuilds the engine and nothing else.
  if(PRALLWERK_ASSERTS)
    target_compile_definitions(${target} PRIVATE PRALLWERK_ASSERTS)
  endif()
endfunction()
