# Fails when a source file includes a header of a layer it must not depend on.
#
#   cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake
#
# Each rule names a folder and the folders its files may include from (project headers are
# included by their path from the top of the tree, "layer/File.h"). Angle-bracket includes
# (Qt, SQLite, <tsqlite/tsqlite.h>) are not project layers and are not checked here; their use
# is limited by the targets' link rules instead.
set(SCADLAV_LAYER_RULES
    "module/value:module/value"
    "module/services:module/services,module/value"
    "module/sql:module/sql,module/services,module/value"
    "module/db:module/db,module/value"
    "module/contract:module/contract,module/services,module/value"
    "engine:engine,module/sql,module/db,module/services,module/value"
    "reminders:reminders,engine,module/contract,module/sql,module/db,module/services,module/value,platform/controls"
    "proposals:proposals,module/contract,module/sql,module/db,module/services,module/value,platform/controls"
    "schedule:schedule,reminders,proposals,engine,module/contract,module/sql,module/db,module/services,module/value,platform/controls"
    "library:library,schedule,module/contract,module/services,module/value"
    "platform/controls:platform/controls"
    "platform/host:platform/host,platform/controls,platform/procstart,library/ModuleEntry.h,module/contract/Cinterface.h,module/sql,module/db,module/services,module/value"
    "platform/tsql:platform/tsql,module/db,module/value"
    "platform/tsqlite:platform/tsqlite,platform/procstart"
    "platform/procstart:platform/procstart"
    "platform/erpdb:platform/erpdb")

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "CheckLayers.cmake: set SOURCE_DIR")
endif()

set(violations "")
foreach(rule IN LISTS SCADLAV_LAYER_RULES)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(GET parts 1 allowedText)
    string(REPLACE "," ";" allowed "${allowedText}")
    file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[A-Za-z_]+/")
        foreach(line IN LISTS includes)
            string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
            set(header "${CMAKE_MATCH_1}")
            set(ok FALSE)
            foreach(prefix IN LISTS allowed)
                if(header STREQUAL prefix OR header MATCHES "^${prefix}/")
                    set(ok TRUE)
                    break()
                endif()
            endforeach()
            if(NOT ok)
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
                list(APPEND violations "${shown} includes \"${header}\", outside what ${folder} may use")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Layer rules broken (see docs/architecture.md):\n  ${text}")
endif()
