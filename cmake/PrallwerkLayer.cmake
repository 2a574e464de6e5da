# The engine's layers: each a static library of its own folder, linking only
# the layers below it.
#
# Sources include engine headers as "prallwerk/<layer>/<file>.h". A layer's
# include folder in the build shows only that layer (build/layers/<layer>/
# prallwerk/<layer>, a link to its source folder), and a target sees the
# folders of the layers it links and nothing else. So a lower layer that
# includes a header of a higher one does not compile: the header is not found.
# Installed, every layer's headers sit under one include/prallwerk/.

# The include folder that shows one source folder and nothing else: view/
# path is a link to the current source folder, so that its headers are found
# as "path/<file>.h" by the targets that have view among their include
# folders, and no other header of the tree is.
function(prallwerk_layer_view view path)
  get_filename_component(parent ${view}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${view}/${path} SYMBOLIC)
endfunction()

function(prallwerk_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
  set(view ${PROJECT_BINARY_DIR}/layers/${layer})
  prallwerk_layer_view(${view} prallwerk/${layer})

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

# The program's layers (app/): as the engine's, each a static library of its
# own folder that links only the layers below it, with its headers included
# as "app/<folder>/<file>.h" through a view of that folder alone. So a lower
# layer that includes a header of a higher one, or a platform that includes
# the program's logic, does not compile. folder is the layer's path below
# app/ ("logic", "platform/sdl"); target the library's name.
function(prallwerk_program_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "SOURCES;LINKS")
  string(REPLACE "/" "_" name ${folder})
  set(view ${PROJECT_BINARY_DIR}/program-layers/${name})
  prallwerk_layer_view(${view} app/${folder})
  if(arg_SOURCES)
    add_library(${target} STATIC ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${view})
    target_link_libraries(${target} PUBLIC ${arg_LINKS})
    prallwerk_warnings(${target})
  else()
    # Headers only.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${view})
    target_link_libraries(${target} INTERFACE ${arg_LINKS})
  endif()
endfunction()

# The include folder that shows one folder of the source tree and nothing
# else, for the tools and the tests: they include their own headers from the
# root ("tools/trace.h", "tests/support/trace_text.h") but see the program
# and the engine only through the layers they link, as the layers do. path
# is the folder below the root; the view's folder is returned in out.
function(prallwerk_tree_view out path)
  string(REPLACE "/" "_" name ${path})
  set(view ${PROJECT_BINARY_DIR}/tree-views/${name})
  get_filename_component(parent ${view}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${view}/${path} SYMBOLIC)
  set(${out} ${view} PARENT_SCOPE)
endfunction()
