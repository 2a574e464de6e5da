# The trace tool of a cross-build, run by its emulator (Wine, Node), as one
# command; and its traces compared byte for byte with a native build's.

string(JOIN " " emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
set(trace_command ${CMAKE_CURRENT_BINARY_DIR}/prallwerk-trace-emulated)
file(GENERATE OUTPUT ${trace_command}
     CONTENT "#!/bin/sh\nexec ${emulator} \"$<TARGET_FILE:prallwerk-trace>\" \"$@\"\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The same traces as the native build, byte for byte: every scene and the
# default bodies, at 16 ms and 25 ms frames, states and impacts.
set(PRALLWERK_REFERENCE_TRACE "" CACHE FILEPATH
    "prallwerk-trace of a native build whose traces this build must reproduce")
if(PRALLWERK_REFERENCE_TRACE)
  set(platform ${CMAKE_SYSTEM_NAME})
  if(EMSCRIPTEN)
    set(platform WebAssembly)
  endif()
  foreach(scene -1 0 1 2 3)
    foreach(ms 16 25)
      foreach(kind states events)
        set(extra "")
        if(kind STREQUAL "events")
          set(extra --events)
        endif()
        add_test(NAME trace_identical_scene${scene}_${ms}ms_${kind}
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_traces.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                         ${platform} --scene ${scene} --frames 600 --frame-ms ${ms} ${extra})
      endforeach()
    endforeach()
  endforeach()
endif()
