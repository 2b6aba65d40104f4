# Adds every source, header and form of the calling subsystem folder to the program libraries:
# the files named after CORE (with or without their suffix: "regularfile" names regularfile.h and
# regularfile.cpp) go to the widget-free core library kvncore, everything else to the widget
# library kvneval. main.cpp is the program's entry and stays out of both.
function(kvn_add_subsystem_sources)
    cmake_parse_arguments(S "" "" "CORE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    set(core_sources)
    foreach(name ${S_CORE})
        set(matched FALSE)
        foreach(candidate ${name} ${name}.h ${name}.cpp)
            set(path ${CMAKE_CURRENT_SOURCE_DIR}/${candidate})
            if(path IN_LIST sources)
                list(APPEND core_sources ${path})
                list(REMOVE_ITEM sources ${path})
                set(matched TRUE)
            endif()
        endforeach()
        if(NOT matched)
            message(FATAL_ERROR "kvn_add_subsystem_sources: no core file ${name} in "
                                "${CMAKE_CURRENT_SOURCE_DIR}")
        endif()
    endforeach()
    # AUTOUIC writes a form's ui_*.h while Ninja builds, after Ninja has judged which objects are
    # out of date: the objects that include it would compile only at the next build, and a build
    # followed by a test run would test the old form. Each source that includes the header of one
    # of the folder's forms therefore depends on the form itself.
    foreach(source ${sources} ${core_sources})
        if(NOT source MATCHES "\\.cpp$")
            continue()
        endif()
        file(STRINGS ${source} form_includes REGEX "^#include \"ui_[A-Za-z0-9_]+\\.h\"")
        foreach(line ${form_includes})
            string(REGEX REPLACE "^#include \"ui_([A-Za-z0-9_]+)\\.h\".*" "\\1" form "${line}")
            set(form ${CMAKE_CURRENT_SOURCE_DIR}/${form}.ui)
            if(EXISTS ${form})
                set_property(SOURCE ${source} TARGET_DIRECTORY kvncore kvneval APPEND
                             PROPERTY OBJECT_DEPENDS ${form})
            endif()
        endforeach()
    endforeach()
    if(core_sources)
        target_sources(kvncore PRIVATE ${core_sources})
    endif()
    if(sources)
        target_sources(kvneval PRIVATE ${sources})
    endif()
endfunction()

# One Qt Test executable per area: kvn_add_test(name SOURCES ... [LABELS ...] [LIBS ...]
# [TIMEOUT seconds] [FUNCTIONS ...]). With FUNCTIONS, each listed test function is its own CTest
# test in a process of its own (name/function), for tests whose subject is process-wide state or
# whose functions together take too long for one time-out; name/everyFunctionListed fails when the
# binary has a function the list leaves out. TIMEOUT (300 s when not given) holds for each test.
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
        string(REPLACE ";" "," listed "${T_FUNCTIONS}")
        add_test(NAME ${name}/everyFunctionListed
                 COMMAND ${CMAKE_COMMAND} -DBINARY=$<TARGET_FILE:${name}> -DFUNCTIONS=${listed}
                         -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckTestFunctions.cmake)
        list(APPEND tests ${name}/everyFunctionListed)
    else()
        add_test(NAME ${name} COMMAND ${name})
        set(tests ${name})
    endif()
    # Qt Test's own watchdog (300 s) counts from the start of the process here, not of each
    # function: a test binary that a loaded machine slows past it would abort long before its
    # time-out. It gets the same time as CTest gives the test.
    set_tests_properties(${tests} PROPERTIES
        LABELS "${T_LABELS}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KVN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};QTEST_FUNCTION_TIMEOUT=${T_TIMEOUT}000")
endfunction()
