# Scene rendering and the HUD, and the tools that draw with them.
#
# prallwerk_render calls OpenGL and GLU but links no libGL: the program draws
# with its window's libGL, the snapshot tool with OSMesa, and both run the
# same drawing code.
add_library(prallwerk_render STATIC
  ${PRALLWERK_APP_DIR}/renderer.cpp
  ${PRALLWERK_APP_DIR}/hud.cpp
  ${PRALLWERK_APP_DIR}/gl_view.cpp
  ${PRALLWERK_APP_DIR}/heap_tuning.cpp
)
target_link_libraries(prallwerk_render PUBLIC prallwerk_frontend prallwerk_font Prallwerk::GLU)
prallwerk_warnings(prallwerk_render)

find_package(PNG REQUIRED)
add_library(prallwerk_png STATIC ${PROJECT_SOURCE_DIR}/tools/png_writer.cpp)
target_include_directories(prallwerk_png PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(prallwerk_png PUBLIC PNG::PNG)
prallwerk_warnings(prallwerk_png)

# Next to the other command-line tools in the build tree.
add_executable(prallwerk-snapshot ${PROJECT_SOURCE_DIR}/tools/snapshot_main.cpp)
target_link_libraries(prallwerk-snapshot PRIVATE prallwerk_render prallwerk_png Prallwerk::OSMesa)
set_target_properties(prallwerk-snapshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
prallwerk_warnings(prallwerk-snapshot)

# Frame times of the real window and runs of many window generations, on the
# current display (see the file's head).
add_executable(prallwerk-render-bench
  ${PROJECT_SOURCE_DIR}/tools/render_bench.cpp
  ${PROJECT_SOURCE_DIR}/tools/scripted_platform.cpp
)
target_link_libraries(prallwerk-render-bench PRIVATE prallwerk_render prallwerk_platform_sdl OpenGL::GL)
set_target_properties(prallwerk-render-bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
prallwerk_warnings(prallwerk-render-bench)

# The program soaked in random input on the current display (see the file's
# head): a child process runs it, this one plays the user through XTest.
find_package(X11 REQUIRED)
if(NOT X11_XTest_FOUND)
  message(FATAL_ERROR "prallwerk-soak needs the XTest extension's library and headers (libxtst-dev)")
endif()
add_executable(prallwerk-soak
  ${PROJECT_SOURCE_DIR}/tools/soak/soak_main.cpp
  ${PROJECT_SOURCE_DIR}/tools/soak/soak_program.cpp
  ${PROJECT_SOURCE_DIR}/tools/soak/soak_shared.cpp
  ${PROJECT_SOURCE_DIR}/tools/soak/x_input.cpp
  ${PROJECT_SOURCE_DIR}/tools/scripted_platform.cpp
)
target_link_libraries(prallwerk-soak PRIVATE prallwerk_render prallwerk_platform_sdl OpenGL::GL X11::X11 X11::Xtst)
set_target_properties(prallwerk-soak PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
prallwerk_warnings(prallwerk-soak)
