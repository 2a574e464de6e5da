# Outline-font text: outlines and meshes without GL, display lists and
# printText in an off-screen OSMesa context.
add_executable(font_tests
  ${CMAKE_CURRENT_LIST_DIR}/glyph_outline_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_mesh_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/outline_font_test.cpp
)
target_link_libraries(font_tests PRIVATE prallwerk_font Prallwerk::OSMesa GTest::gtest GTest::gtest_main)
prallwerk_warnings(font_tests)
gtest_discover_tests(font_tests TEST_PREFIX "font." DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/font_lsan.supp")
