# The UI packer (a program for the build machine) and the function that packs
# a folder of pages at build time.
#
#   larkspur_ui_package(<target> SOURCE_DIR <folder> OUTPUT <file>)
#
# Adds <target>, which rebuilds <file> whenever a file below <folder> changes.
# Product teams point SOURCE_DIR at their own re-skinned pages.
find_program(LARKSPUR_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(LARKSPUR_UIPACK "${CMAKE_BINARY_DIR}/host/uipack")
set(_uipack_src "${CMAKE_CURRENT_LIST_DIR}/../ui/packer/UiPacker.cpp")
add_custom_command(OUTPUT "${LARKSPUR_UIPACK}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/host"
    COMMAND "${LARKSPUR_HOST_CXX}" -std=c++17 -O2 -Wall -o "${LARKSPUR_UIPACK}" "${_uipack_src}"
    DEPENDS "${_uipack_src}"
    COMMENT "Building the UI packer for the build machine")
add_custom_target(uipack DEPENDS "${LARKSPUR_UIPACK}")

function(larkspur_ui_package target)
    cmake_parse_arguments(ARG "" "SOURCE_DIR;OUTPUT" "" ${ARGN})
    file(GLOB_RECURSE _files CONFIGURE_DEPENDS "${ARG_SOURCE_DIR}/*")
    add_custom_command(OUTPUT "${ARG_OUTPUT}"
        COMMAND "${LARKSPUR_UIPACK}" "${ARG_SOURCE_DIR}" "${ARG_OUTPUT}"
        DEPENDS uipack ${_files}
        COMMENT "Packing the UI pages of ${ARG_SOURCE_DIR}")
    add_custom_target(${target} DEPENDS "${ARG_OUTPUT}")
endfunction()
