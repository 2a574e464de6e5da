# Outline-font text: glyph outlines (fontconfig, FreeType), solid glyph
# meshes (GLU's tessellator) and the display lists that draw them.
#
# prallwerk_font calls OpenGL but does not link it: the program links libGL,
# the off-screen tools and tests libOSMesa, and either one provides the gl*
# functions. GLU is taken on its own for the same reason (FindOpenGL's
# OpenGL::GLU would bring libGL along).
find_package(Freetype REQUIRED)
find_package(Fontconfig REQUIRED)

if(NOT TARGET Prallwerk::GLU)
  find_path(PRALLWERK_GLU_INCLUDE_DIR GL/glu.h REQUIRED)
  find_library(PRALLWERK_GLU_LIBRARY GLU REQUIRED)
  add_library(Prallwerk::GLU UNKNOWN IMPORTED GLOBAL)
  set_target_properties(Prallwerk::GLU PROPERTIES
    IMPORTED_LOCATION "${PRALLWERK_GLU_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${PRALLWERK_GLU_INCLUDE_DIR}")
endif()

# Off-screen GL for the tools and tests that draw without a window. Both
# imported targets are global so that tests/ and the other fragments see them.
if(NOT TARGET Prallwerk::OSMesa)
  find_path(PRALLWERK_OSMESA_INCLUDE_DIR GL/osmesa.h REQUIRED)
  find_library(PRALLWERK_OSMESA_LIBRARY OSMesa REQUIRED)
  add_library(Prallwerk::OSMesa UNKNOWN IMPORTED GLOBAL)
  set_target_properties(Prallwerk::OSMesa PROPERTIES
    IMPORTED_LOCATION "${PRALLWERK_OSMESA_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${PRALLWERK_OSMESA_INCLUDE_DIR}")
endif()

add_library(prallwerk_font STATIC
  ${CMAKE_CURRENT_LIST_DIR}/glyph_outline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_mesh.cpp
  ${CMAKE_CURRENT_LIST_DIR}/outline_font.cpp
)
target_include_directories(prallwerk_font PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(prallwerk_font PUBLIC Prallwerk::GLU Freetype::Freetype Fontconfig::Fontconfig)
prallwerk_warnings(prallwerk_font)

add_executable(prallwerk-font-bench ${PROJECT_SOURCE_DIR}/tools/font_bench.cpp)
target_link_libraries(prallwerk-font-bench PRIVATE prallwerk_font Prallwerk::OSMesa)
prallwerk_warnings(prallwerk-font-bench)
