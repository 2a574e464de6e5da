# The window, its frame loop, the controls and the arcball. The logic is a
# static library over the platform and GL seams so that tests link it without
# SDL or a display; the program adds the SDL layer and OpenGL.
set(PRALLWERK_APP_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(prallwerk_frontend STATIC
  ${PRALLWERK_APP_DIR}/app_state.cpp
  ${PRALLWERK_APP_DIR}/arcball.cpp
  ${PRALLWERK_APP_DIR}/controls.cpp
  ${PRALLWERK_APP_DIR}/gl_view_none.cpp
  ${PRALLWERK_APP_DIR}/main_loop.cpp
)
target_link_libraries(prallwerk_frontend PUBLIC prallwerk_engine)
prallwerk_warnings(prallwerk_frontend)

find_package(SDL2 REQUIRED)
find_package(OpenGL REQUIRED)

add_executable(prallwerk
  ${PRALLWERK_APP_DIR}/main.cpp
  ${PRALLWERK_APP_DIR}/gl_view.cpp
  ${PRALLWERK_APP_DIR}/platform_sdl.cpp
  ${PRALLWERK_APP_DIR}/renderer.cpp
)
target_link_libraries(prallwerk PRIVATE prallwerk_frontend SDL2::SDL2 OpenGL::GL OpenGL::GLU)
prallwerk_warnings(prallwerk)

# Start-up time, frame rate and CPU use of the real loop on the current display.
add_executable(prallwerk-loop-bench
  ${PRALLWERK_APP_DIR}/loop_bench.cpp
  ${PRALLWERK_APP_DIR}/gl_view.cpp
  ${PRALLWERK_APP_DIR}/platform_sdl.cpp
  ${PRALLWERK_APP_DIR}/renderer.cpp
)
target_link_libraries(prallwerk-loop-bench PRIVATE prallwerk_frontend SDL2::SDL2 OpenGL::GL OpenGL::GLU)
prallwerk_warnings(prallwerk-loop-bench)
