# The window, its frame loop, the controls and the arcball. The logic is a
# static library over the platform and GL seams so that tests link it without
# SDL or a display; the program adds the SDL layer, the drawing and OpenGL.
set(PRALLWERK_APP_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(prallwerk_frontend STATIC
  ${PRALLWERK_APP_DIR}/app_state.cpp
  ${PRALLWERK_APP_DIR}/arcball.cpp
  ${PRALLWERK_APP_DIR}/box_faces.cpp
  ${PRALLWERK_APP_DIR}/controls.cpp
  ${PRALLWERK_APP_DIR}/gl_view_none.cpp
  ${PRALLWERK_APP_DIR}/key_presses.cpp
  ${PRALLWERK_APP_DIR}/main_loop.cpp
)
target_link_libraries(prallwerk_frontend PUBLIC prallwerk_engine)
prallwerk_warnings(prallwerk_frontend)

find_package(SDL2 REQUIRED)
find_package(OpenGL REQUIRED)

add_library(prallwerk_platform_sdl STATIC ${PRALLWERK_APP_DIR}/platform_sdl.cpp)
target_link_libraries(prallwerk_platform_sdl PUBLIC prallwerk_frontend SDL2::SDL2)
prallwerk_warnings(prallwerk_platform_sdl)

# The drawing (prallwerk_render) and the tools built on it.
include(${PRALLWERK_APP_DIR}/render.cmake)

add_executable(prallwerk ${PRALLWERK_APP_DIR}/main.cpp)
target_link_libraries(prallwerk PRIVATE prallwerk_render prallwerk_platform_sdl OpenGL::GL)
prallwerk_warnings(prallwerk)
