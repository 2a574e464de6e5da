# Tests of the Windows build, run under Wine (scripts/cross-check-windows
# gives Wine a prefix of its own and runs them).

# The trace tool as one command, the emulator in front of the .exe.
string(JOIN " " emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
set(trace_command ${CMAKE_CURRENT_BINARY_DIR}/prallwerk-trace-emulated)
file(GENERATE OUTPUT ${trace_command}
     CONTENT "#!/bin/sh\nexec ${emulator} \"$<TARGET_FILE:prallwerk-trace>\" \"$@\"\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

add_test(NAME windows_system_dlls_only
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/system_dlls_only.sh ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:prallwerk-trace> $<TARGET_FILE:prallwerk-bench> $<TARGET_FILE:engine_tests>)

# The same traces as the native build, byte for byte: every scene and the
# default bodies, at 16 ms and 25 ms frames, states and impacts.
set(PRALLWERK_REFERENCE_TRACE "" CACHE FILEPATH
    "prallwerk-trace of a native build whose traces the Windows build must reproduce")
if(PRALLWERK_REFERENCE_TRACE)
  foreach(scene -1 0 1 2 3)
    foreach(ms 16 25)
      foreach(kind states events)
        set(extra "")
        if(kind STREQUAL "events")
          set(extra --events)
        endif()
        add_test(NAME trace_identical_scene${scene}_${ms}ms_${kind}
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_traces.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                         --scene ${scene} --frames 600 --frame-ms ${ms} ${extra})
      endforeach()
    endforeach()
  endforeach()
endif()
