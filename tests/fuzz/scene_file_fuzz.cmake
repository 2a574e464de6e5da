# The scene file reader under libFuzzer, in the sanitizer build: clang builds
# tests/fuzz/ (the engine and the fuzz target, with AddressSanitizer and
# UndefinedBehaviorSanitizer) in fuzz/ of this build, and the test runs it
# for a bounded time (PRALLWERK_FUZZ_SECONDS).
include(ExternalProject)
find_program(PRALLWERK_CLANG NAMES clang++-14 clang++ REQUIRED)
set(PRALLWERK_FUZZ_SECONDS 60 CACHE STRING "How long the scene file fuzz test runs (seconds)")
set(fuzz_build ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(scene_file_fuzzer_build
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tests/fuzz
  BINARY_DIR ${fuzz_build}
  # Optimised: at -O0 the build takes half the time, but the fuzzer runs
  # a tenth as many inputs in its seconds.
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${PRALLWERK_CLANG} -DCMAKE_BUILD_TYPE=RelWithDebInfo
             -DPRALLWERK_WERROR=${PRALLWERK_WERROR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${fuzz_build} --target scene_file_fuzzer
  INSTALL_COMMAND ""
  # Its own build decides what changed.
  BUILD_ALWAYS ON)
add_test(NAME scene_file_fuzz
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_scene_file_fuzz.sh ${fuzz_build}/scene_file_fuzzer ${PROJECT_SOURCE_DIR}
                 ${PRALLWERK_FUZZ_SECONDS})
# Its cost starts it first, beside the rest of the suite.
set_tests_properties(scene_file_fuzz PROPERTIES TIMEOUT 600 COST 100)
