# The window logic, controls and arcball against a scripted platform, and the
# real program end to end under Xvfb.
add_executable(window_tests
  ${CMAKE_CURRENT_LIST_DIR}/app_state_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/arcball_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/box_faces_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_taps_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_loop_test.cpp
)
target_link_libraries(window_tests PRIVATE prallwerk_frontend GTest::gmock GTest::gtest GTest::gtest_main)
prallwerk_warnings(window_tests)
gtest_discover_tests(window_tests TEST_PREFIX "window." DISCOVERY_TIMEOUT 60)

find_package(X11 REQUIRED)
add_executable(window_probe ${CMAKE_CURRENT_LIST_DIR}/../e2e/window_probe.cpp)
target_link_libraries(window_probe PRIVATE X11::X11)
prallwerk_warnings(window_probe)

# Both runs start their own X server; they take turns so that xvfb-run's
# search for a free display number cannot race. In the sanitizer build the
# leak check is off for these runs: Mesa's software renderer leaves blocks
# whose allocating code is unloaded before the report, so no suppression can
# name them. The unit tests above check the front-end's own allocations.
# Full screen works on a 1024 x 768 screen and is refused on a larger one,
# whose single mode Xvfb keeps.
foreach(run "windowed 1280x1024" "fullscreen 1024x768" "fullscreen_refused 1280x1024")
  separate_arguments(run)
  list(GET run 0 answer)
  list(GET run 1 screen)
  add_test(NAME window.e2e_${answer}
    COMMAND xvfb-run -a -s "-screen 0 ${screen}x24"
            ${CMAKE_CURRENT_LIST_DIR}/../e2e/program_e2e.sh ${answer}
            $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe>)
  set_tests_properties(window.e2e_${answer} PROPERTIES TIMEOUT 60 RESOURCE_LOCK xvfb LABELS e2e
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endforeach()

# Instant taps (down and up with no frame between) and the screen-mode toggle
# sent from outside with SIGUSR1.
add_test(NAME window.e2e_taps
  COMMAND xvfb-run -a -s "-screen 0 1280x1024x24"
          ${CMAKE_CURRENT_LIST_DIR}/../e2e/taps_e2e.sh $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe> 24)
add_test(NAME window.e2e_toggle
  COMMAND xvfb-run -a -s "-screen 0 1024x768x24"
          ${CMAKE_CURRENT_LIST_DIR}/../e2e/toggle_e2e.sh $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe>)
# An X server without its core fonts, where SDL can show no message box.
add_test(NAME window.e2e_no_fonts
  COMMAND xvfb-run -a -s "-fp built-ins -screen 0 1280x1024x24"
          ${CMAKE_CURRENT_LIST_DIR}/../e2e/no_fonts_e2e.sh $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe>)
set_tests_properties(window.e2e_taps window.e2e_toggle window.e2e_no_fonts PROPERTIES TIMEOUT 120 RESOURCE_LOCK xvfb LABELS e2e
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")

# A minute of random input through the real loop, platform and OpenGL (see
# tools/soak/soak_main.cpp). The plain build soaks on Mesa's softpipe, whose
# resident memory holds steady to a tenth of a MiB, so that a minute can
# carry the 1 MiB bar; llvmpipe's swings by a few MiB with its threads and
# compiled shaders, which only long runs average out. The sanitizer build
# soaks on the default llvmpipe, without the bar: the sanitizer's own
# bookkeeping grows the resident memory.
if(PRALLWERK_SANITIZE)
  set(soak_arguments --seconds 40 --no-memory-bar)
  set(soak_environment "ASAN_OPTIONS=detect_leaks=0")
else()
  set(soak_arguments --seconds 60)
  set(soak_environment "GALLIUM_DRIVER=softpipe")
endif()
add_test(NAME window.soak_short
  COMMAND xvfb-run -a -s "-screen 0 1024x768x24" $<TARGET_FILE:prallwerk-soak> ${soak_arguments})
set_tests_properties(window.soak_short PROPERTIES TIMEOUT 240 RESOURCE_LOCK xvfb LABELS e2e
  ENVIRONMENT "${soak_environment}")

add_test(NAME window.e2e_no_display
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/../e2e/no_display_e2e.sh $<TARGET_FILE:prallwerk>)
set_tests_properties(window.e2e_no_display PROPERTIES TIMEOUT 30 LABELS e2e)

include(${CMAKE_CURRENT_LIST_DIR}/render_tests.cmake)
