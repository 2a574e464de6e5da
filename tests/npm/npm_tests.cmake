# The npm package as a user gets it: packed, installed from the tarball into
# a fresh folder, and run under Node's test runner there, its traces against
# the native trace tool's (PRALLWERK_REFERENCE_TRACE). Two tests, so that
# ctest runs the long traces beside the rest.
foreach(suite traces world)
  add_test(NAME npm_package_${suite}
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/run.sh ${PROJECT_BINARY_DIR}/js/package ${PRALLWERK_REFERENCE_TRACE}
                   ${PROJECT_SOURCE_DIR}/scenes/files ${suite}.test.js)
endforeach()
