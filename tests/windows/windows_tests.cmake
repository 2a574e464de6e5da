# Tests of the Windows build, run under Wine (scripts/cross-check-windows
# gives Wine a prefix of its own and runs them).

set(programs "")
foreach(target prallwerk-trace prallwerk-bench prallwerk-trig-bench engine_tests prallwerk)
  if(TARGET ${target})
    list(APPEND programs $<TARGET_FILE:${target}>)
  endif()
endforeach()
add_test(NAME windows_system_dlls_only
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/system_dlls_only.sh ${CMAKE_OBJDUMP} ${programs})

if(NOT PRALLWERK_BUILD_APP)
  return()
endif()

# GDI's glyph outlines through the same flattening and meshing as FreeType's.
add_executable(gdi_glyphs_tests ${CMAKE_CURRENT_LIST_DIR}/gdi_glyphs_test.cpp)
target_link_libraries(gdi_glyphs_tests PRIVATE prallwerk_glyphs_gdi GTest::gtest GTest::gtest_main)
prallwerk_warnings(gdi_glyphs_tests)
add_test(NAME gdi_glyphs_tests COMMAND gdi_glyphs_tests)

# The Win32 layer's message translation and clock, and the program's
# manifest.
add_executable(win32_platform_tests ${CMAKE_CURRENT_LIST_DIR}/win32_platform_test.cpp)
target_link_libraries(win32_platform_tests PRIVATE prallwerk_platform_win32 GTest::gtest GTest::gtest_main)
target_compile_definitions(win32_platform_tests PRIVATE "PRALLWERK_PROGRAM=L\"$<TARGET_FILE:prallwerk>\"")
add_dependencies(win32_platform_tests prallwerk)
prallwerk_warnings(win32_platform_tests)
add_test(NAME win32_platform_tests COMMAND win32_platform_tests)

# How finely the program's clock tells frames apart (not a test: it prints a
# histogram; see docs/windows.md).
add_executable(tick_histogram_win32 ${CMAKE_CURRENT_LIST_DIR}/tick_histogram_win32.cpp)
target_link_libraries(tick_histogram_win32 PRIVATE prallwerk_platform_win32)
prallwerk_warnings(tick_histogram_win32)

# The program end to end under Wine on Xvfb, looked at from both sides: the
# X windows with a native build's window_probe, the Win32 window with this
# console program, which also posts toggleScreenMode as another program.
add_executable(window_probe_win32 ${CMAKE_CURRENT_LIST_DIR}/window_probe_win32.cpp)
prallwerk_warnings(window_probe_win32)

set(PRALLWERK_X_PROBE "" CACHE FILEPATH
    "window_probe of a native build, which looks at the X windows of the Wine end-to-end runs")
if(PRALLWERK_X_PROBE)
  # Each run starts its own X server and Wine server; they take turns.
  foreach(run "windowed 1280x1024" "fullscreen_refused 1280x1024" "fullscreen 1024x768" "toggle 1024x768"
              "focus 1280x1024")
    separate_arguments(run)
    list(GET run 0 mode)
    list(GET run 1 screen)
    add_test(NAME wine_e2e_${mode}
      COMMAND xvfb-run -a -s "-screen 0 ${screen}x24" ${CMAKE_CURRENT_LIST_DIR}/program_wine_e2e.sh ${mode}
              $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe_win32> ${PRALLWERK_X_PROBE})
    set_tests_properties(wine_e2e_${mode} PROPERTIES TIMEOUT 180 RESOURCE_LOCK wine_gui LABELS e2e)
  endforeach()
  # A scene file on the command line, named with letters beyond ASCII.
  add_test(NAME wine_e2e_scene_file
    COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" ${CMAKE_CURRENT_LIST_DIR}/program_wine_e2e.sh scene_file
            $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe_win32> ${PRALLWERK_X_PROBE}
            ${PROJECT_SOURCE_DIR}/scenes/files/mixed_100.json)
  set_tests_properties(wine_e2e_scene_file PROPERTIES TIMEOUT 180 RESOURCE_LOCK wine_gui LABELS e2e)

  # The Linux program and the Windows program side by side on one X server:
  # the same picture of scene 2, square by square.
  set(PRALLWERK_NATIVE_PROGRAM "" CACHE FILEPATH
      "prallwerk of a native build, whose picture the Windows program must match")
  if(PRALLWERK_NATIVE_PROGRAM)
    add_test(NAME wine_e2e_same_picture
      COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" ${CMAKE_CURRENT_LIST_DIR}/same_picture_e2e.sh
              ${PRALLWERK_NATIVE_PROGRAM} $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe_win32>
              ${PRALLWERK_X_PROBE})
    set_tests_properties(wine_e2e_same_picture PROPERTIES TIMEOUT 180 RESOURCE_LOCK wine_gui LABELS e2e)

    # Walking scene 2 by hand with . and , in both programs: the same checks
    # at every press, and the same picture where the walk ends.
    add_test(NAME wine_e2e_step_keys
      COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" ${CMAKE_CURRENT_LIST_DIR}/step_keys_wine_e2e.sh
              $<TARGET_FILE:prallwerk> $<TARGET_FILE:window_probe_win32> ${PRALLWERK_X_PROBE}
              ${PRALLWERK_NATIVE_PROGRAM})
    set_tests_properties(wine_e2e_step_keys PROPERTIES TIMEOUT 180 RESOURCE_LOCK wine_gui LABELS e2e)
  endif()
endif()
