# The layer check passes on the tree and fails on a tree where the engine reaches up into a
# screen, so a check that can no longer fail is caught too.
#
#   cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch folder> -P CheckLayersSelfTest.cmake
set(check "${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake")

execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${SOURCE_DIR} -P "${check}" RESULT_VARIABLE clean
                ERROR_VARIABLE cleanError)
if(NOT clean EQUAL 0)
    message(FATAL_ERROR "the tree breaks the layer rules:\n${cleanError}")
endif()

set(bad "${WORK_DIR}/layers-bad")
file(REMOVE_RECURSE "${bad}")
file(WRITE "${bad}/engine/Bad.cpp" "#include \"engine/Good.h\"\n#include \"schedule/FRMPD_KVB_SCADLAV.h\"\n")
file(WRITE "${bad}/platform/host/Bad.cpp" "#include \"engine/ScheduleRebuild.h\"\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${bad} -P "${check}" RESULT_VARIABLE broken
                ERROR_VARIABLE brokenError)
file(REMOVE_RECURSE "${bad}")
if(broken EQUAL 0)
    message(FATAL_ERROR "the layer check accepted an engine file that includes a screen")
endif()
foreach(expected "engine/Bad.cpp includes \"schedule/FRMPD_KVB_SCADLAV.h\"" "platform/host/Bad.cpp includes \"engine/ScheduleRebuild.h\"")
    string(FIND "${brokenError}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the layer check did not name: ${expected}\n${brokenError}")
    endif()
endforeach()
string(FIND "${brokenError}" "engine/Good.h" good)
if(NOT good EQUAL -1)
    message(FATAL_ERROR "the layer check refused an include the engine may use:\n${brokenError}")
endif()
