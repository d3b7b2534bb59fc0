# Small helpers so that every target of the project is declared the same way.

set(SCADLAV_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)

# scadlav_add_library(NAME [STATIC|SHARED] [HIDDEN_SYMBOLS] SOURCES ... [PUBLIC_DEPS ...]
#                     [PRIVATE_DEPS ...] [INCLUDE_DIRS ...])
# Static libraries hide their symbols (they end up inside the module library, which exports
# only its factory). Shared runtime libraries used by both the host and the module (data
# access, the control kit, the embedded database) export everything unless HIDDEN_SYMBOLS.
function(scadlav_add_library name)
    cmake_parse_arguments(ARG "STATIC;SHARED;HIDDEN_SYMBOLS" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS;INCLUDE_DIRS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "scadlav_add_library(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(ARG_SHARED)
        add_library(${name} SHARED ${ARG_SOURCES})
    else()
        add_library(${name} STATIC ${ARG_SOURCES})
    endif()
    target_compile_options(${name} PRIVATE ${SCADLAV_WARNINGS})
    if(NOT ARG_SHARED OR ARG_HIDDEN_SYMBOLS)
        set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    endif()
    if(ARG_INCLUDE_DIRS)
        target_include_directories(${name} PUBLIC ${ARG_INCLUDE_DIRS})
    else()
        target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    endif()
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# scadlav_add_executable(NAME SOURCES ... [DEPS ...])
function(scadlav_add_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "scadlav_add_executable(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${SCADLAV_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# scadlav_add_test(NAME SOURCES ... [DEPS ...])
# One GoogleTest binary per unit; tests/support provides main() with a QApplication.
function(scadlav_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "scadlav_add_test(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${SCADLAV_WARNINGS})
    target_link_libraries(${name} PRIVATE test_support ${ARG_DEPS} GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE SCADLAV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               SCADLAV_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# scadlav_add_bench(NAME SOURCES ... [DEPS ...])
function(scadlav_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${SCADLAV_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()
