# Settings shared by every target of the project.
add_compile_definitions(UNICODE _UNICODE NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)

add_library(larkspur_warnings INTERFACE)
target_compile_options(larkspur_warnings INTERFACE -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
# GCC 12 reports a memcpy overlap inside std::string's own code for every
# "text" + std::string&& (a known false positive of that release); later
# releases check it again.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(larkspur_warnings INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()

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

# Version of the setup system's own programs (the engine, the bootstrapper
# template, the page engine, the stub, the remover).
set(LARKSPUR_VERSION "1.0.0.17" CACHE STRING "Version a.b.c.d written into the programs' version resources")
set(LARKSPUR_COMPANY "Orbisoft")

# larkspur_version_resource(TARGET DESCRIPTION text [DLL]): a version resource
# (product, company, version, description) linked into TARGET.
function(larkspur_version_resource target)
    cmake_parse_arguments(ARG "DLL" "DESCRIPTION" "" ${ARGN})
    string(REPLACE "." "," numbers "${LARKSPUR_VERSION}")
    if(ARG_DLL)
        set(type VFT_DLL)
        set(ext dll)
    else()
        set(type VFT_APP)
        set(ext exe)
    endif()
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    set(rc_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc")
    file(GENERATE OUTPUT "${rc_file}" CONTENT "#include <winver.h>
1 VERSIONINFO
FILEVERSION ${numbers}
PRODUCTVERSION ${numbers}
FILEFLAGSMASK 0x3F
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE ${type}
FILESUBTYPE 0
BEGIN
    BLOCK \"StringFileInfo\"
    BEGIN
        BLOCK \"040904B0\"
        BEGIN
            VALUE \"CompanyName\", \"${LARKSPUR_COMPANY}\"
            VALUE \"FileDescription\", \"${ARG_DESCRIPTION}\"
            VALUE \"FileVersion\", \"${LARKSPUR_VERSION}\"
            VALUE \"InternalName\", \"${name}\"
            VALUE \"OriginalFilename\", \"${name}.${ext}\"
            VALUE \"ProductName\", \"Larkspur Setup\"
            VALUE \"ProductVersion\", \"${LARKSPUR_VERSION}\"
        END
    END
    BLOCK \"VarFileInfo\"
    BEGIN
        VALUE \"Translation\", 0x409, 1200
    END
END
")
    target_sources(${target} PRIVATE "${rc_file}")
endfunction()
