# The engine's own scenes written to files (scenes/files/) trace to the same
# bytes as the built-in ones: prallwerk-trace --scene-file against --scene for
# the 20 pinned runs (the default bodies and scenes 0 to 3, 60 s of 16 ms and
# 100 ms frames, states and impacts; the default bodies are scene 0's file),
# and against --drop 100.
# Under the sanitizers the hundred bodies run 12 s (750 frames): a reader's or
# a step's fault in memory shows there, and the other builds compare the
# whole minute.
set(files ${PROJECT_SOURCE_DIR}/scenes/files)
set(drop_frames 3750)
if(PRALLWERK_SANITIZE)
  set(drop_frames 750)
endif()
set(compare ${CMAKE_CURRENT_LIST_DIR}/compare_traces.sh $<TARGET_FILE:prallwerk-trace> $<TARGET_FILE:prallwerk-trace> file)
foreach(kind states events)
  set(extra "")
  if(kind STREQUAL "events")
    set(extra --events)
  endif()
  foreach(scene -1 0 1 2 3)
    set(file scene${scene}.json)
    if(scene EQUAL -1)
      set(file scene0.json)
    endif()
    foreach(ms 16 100)
      math(EXPR frames "60000 / ${ms}")
      add_test(NAME trace_from_file_scene${scene}_${ms}ms_${kind}
               COMMAND ${compare} --sources --scene ${scene} --scene-file ${files}/${file}
                       --frames ${frames} --frame-ms ${ms} ${extra})
    endforeach()
  endforeach()
  add_test(NAME trace_from_file_drop100_16ms_${kind}
           COMMAND ${compare} --sources --drop 100 --scene-file ${files}/drop100.json --frames ${drop_frames} --frame-ms 16 ${extra})
endforeach()

# A snapshot written at frame 150 and restored by the same tool goes on as
# the world that wrote it: a prepared scene's impacts and a heap of the
# physical rules (the cross-builds restore this build's snapshots).
set(restored ${CMAKE_CURRENT_LIST_DIR}/compare_restored_trace.sh $<TARGET_FILE:prallwerk-trace> $<TARGET_FILE:prallwerk-trace> native)
add_test(NAME trace_restored_scene3_16ms_events COMMAND ${restored} 150 --scene 3 --frames 300 --frame-ms 16 --events)
add_test(NAME trace_restored_physical_pyramid_16ms_states
         COMMAND ${restored} 150 --scene-file ${files}/physical_pyramid.json --frames 300 --frame-ms 16)
