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
  # At -O0 with line tables the fuzz build takes half the processor time of
  # -O2 -g (120 s against 240 s, the sanitizers' and the coverage's
  # instrumentation being most of it); the fuzzer then runs about a third as
  # many inputs a second, which the seeds, the dictionary and the corpus make
  # up for in a run of seconds.
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${PRALLWERK_CLANG} -DCMAKE_BUILD_TYPE=RelWithDebInfo
             "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -g1 -DNDEBUG"
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
