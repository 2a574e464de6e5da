# The drawing in a real window on an X display, read back from the
# framebuffer. One X server for the whole suite: the cases share its window.
find_package(OpenGL REQUIRED)
find_package(PNG REQUIRED)
add_executable(render_tests ${CMAKE_CURRENT_LIST_DIR}/render_test.cpp)
target_link_libraries(render_tests PRIVATE prallwerk_render prallwerk_platform_sdl OpenGL::GL GTest::gtest
                      GTest::gtest_main)
prallwerk_warnings(render_tests)
# The leak check is off in the sanitizer build for the reason given for the
# end-to-end runs in window_tests.cmake.
add_test(NAME render.window_frames
  COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:render_tests>)
set_tests_properties(render.window_frames PROPERTIES TIMEOUT 120 RESOURCE_LOCK xvfb
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")

# prallwerk-snapshot run as a user runs it, its pictures read back with
# libpng. The tool draws with OSMesa, whose per-context blocks and
# fontconfig's configuration stay allocated to the end (see font_lsan.supp).
add_executable(snapshot_tests ${CMAKE_CURRENT_LIST_DIR}/snapshot_test.cpp)
target_link_libraries(snapshot_tests PRIVATE PNG::PNG GTest::gtest GTest::gtest_main)
target_compile_definitions(snapshot_tests PRIVATE PRALLWERK_SNAPSHOT="$<TARGET_FILE:prallwerk-snapshot>")
add_dependencies(snapshot_tests prallwerk-snapshot)
prallwerk_warnings(snapshot_tests)
gtest_discover_tests(snapshot_tests TEST_PREFIX "render." DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120 ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/font_lsan.supp:print_suppressions=0")
