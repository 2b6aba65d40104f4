# Adds every source, header and form of the calling subsystem folder to the program library.
# main.cpp is the program's entry and stays out of the library.
function(kvn_add_subsystem_sources)
    file(GLOB sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    if(sources)
        target_sources(kvneval PRIVATE ${sources})
    endif()
endfunction()

# One Qt Test executable per area: kvn_add_test(name SOURCES ... [LABELS ...] [LIBS ...]
# [FUNCTIONS ...]). With FUNCTIONS, each listed test function is its own CTest test in a process
# of its own (name/function), for tests whose subject is process-wide state.
function(kvn_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LABELS;LIBS;FUNCTIONS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE kvneval kvntestsupport Qt6::Test ${T_LIBS})
    if(T_FUNCTIONS)
        set(tests)
        foreach(function ${T_FUNCTIONS})
            add_test(NAME ${name}/${function} COMMAND ${name} ${function})
            list(APPEND tests ${name}/${function})
        endforeach()
    else()
        add_test(NAME ${name} COMMAND ${name})
        set(tests ${name})
    endif()
    set_tests_properties(${tests} PROPERTIES
        LABELS "${T_LABELS}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KVN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
