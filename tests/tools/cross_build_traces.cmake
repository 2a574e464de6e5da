# The trace tool of a cross-build, run by its emulator (Wine, Node, qemu), or
# of a native build with another compiler or other flags, as one command; and
# its traces compared byte for byte with a reference build's.

string(JOIN " " emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
set(trace_command ${CMAKE_CURRENT_BINARY_DIR}/prallwerk-trace-emulated)
file(GENERATE OUTPUT ${trace_command}
     CONTENT "#!/bin/sh\nexec ${emulator} \"$<TARGET_FILE:prallwerk-trace>\" \"$@\"\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The same traces as the native build, byte for byte: every scene and the
# default bodies, at 16 ms and 25 ms frames, states and impacts; and the same
# again with this build reading the scenes from their files (scenes/files/),
# and the drop world of 100 bodies from its file, against the native build's
# built-in scenes and drop world; and the scenes of the physical rules, read
# from their files by both; and two traces that this build goes on with from
# the native build's snapshot.
set(PRALLWERK_REFERENCE_TRACE "" CACHE FILEPATH
    "prallwerk-trace of a native build whose traces this build must reproduce")
if(PRALLWERK_REFERENCE_TRACE)
  set(platform ${CMAKE_SYSTEM_NAME})
  if(EMSCRIPTEN)
    set(platform WebAssembly)
  elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(platform "${CMAKE_SYSTEM_PROCESSOR}-${CMAKE_CXX_COMPILER_ID}")
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
        set(file scene${scene}.json)
        if(scene EQUAL -1)
          set(file scene0.json)  # the default bodies are scene 0's
        endif()
        add_test(NAME trace_from_file_identical_scene${scene}_${ms}ms_${kind}
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_traces.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                         ${platform} --sources --scene ${scene} --scene-file ${PROJECT_SOURCE_DIR}/scenes/files/${file}
                         --frames 600 --frame-ms ${ms} ${extra})
      endforeach()
    endforeach()
  endforeach()
  foreach(kind states events)
    set(extra "")
    if(kind STREQUAL "events")
      set(extra --events)
    endif()
    add_test(NAME trace_from_file_identical_drop100_16ms_${kind}
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_traces.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                     ${platform} --sources --drop 100 --scene-file ${PROJECT_SOURCE_DIR}/scenes/files/drop100.json
                     --frames 600 --frame-ms 16 ${extra})
    # The scenes of the physical rules, from their files in both builds.
    file(GLOB physical_scenes ${PROJECT_SOURCE_DIR}/scenes/files/physical_*.json)
    list(SORT physical_scenes)
    foreach(path ${physical_scenes})
      get_filename_component(name ${path} NAME_WE)
      add_test(NAME trace_physical_identical_${name}_16ms_${kind}
               COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_traces.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                       ${platform} --scene-file ${path} --frames 600 --frame-ms 16 ${extra})
    endforeach()
  endforeach()
  # The native build's snapshot at frame 150, restored here, goes on as the
  # native world did: a prepared scene and a heap under the physical rules.
  add_test(NAME trace_restored_identical_scene2_16ms_states
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_restored_trace.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                   ${platform} 150 --scene 2 --frames 300 --frame-ms 16)
  add_test(NAME trace_restored_identical_physical_pyramid_16ms_states
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/compare_restored_trace.sh ${PRALLWERK_REFERENCE_TRACE} ${trace_command}
                   ${platform} 150 --scene-file ${PROJECT_SOURCE_DIR}/scenes/files/physical_pyramid.json
                   --frames 300 --frame-ms 16)
endif()
