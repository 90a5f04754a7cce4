# Settings shared by every target of the project.
add_compile_definitions(UNICODE _UNICODE NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)

add_library(larkspur_warnings INTERFACE)
target_compile_options(larkspur_warnings INTERFACE -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)

# larkspur_library(NAME SOURCES... [LIBS ...]): a subsystem's static library.
function(larkspur_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE larkspur_warnings)
endfunction()

# larkspur_test(NAME SOURCES... [LIBS ...]): one GoogleTest executable, run under Wine.
function(larkspur_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gmock gtest larkspur_warnings)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/UiPackage.cmake)
