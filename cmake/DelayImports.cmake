# System libraries that are not KnownDLLs on every Windows the programs
# support (gdiplus.dll nowhere, msimg32.dll nowhere): a static import would be
# resolved by the loader before any search restriction runs, from the
# program's own folder first. Linking `gdiplus` or `msimg32` links these
# targets instead of the import libraries: a delay-import library made by
# dlltool from mingw-w64's import library, whose first call loads the DLL
# through common/DelayLoadHook.cpp from the system folder by full path.
# tests/security/check-imports holds every elevated program and sciter32.dll
# to it.
find_program(LARKSPUR_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)
find_program(LARKSPUR_NM NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-nm REQUIRED)

add_library(system_delay_hook STATIC "${CMAKE_SOURCE_DIR}/common/DelayLoadHook.cpp")
target_include_directories(system_delay_hook PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(system_delay_hook PUBLIC common)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(larkspur_delay_hook_symbol "__pfnDliNotifyHook2")
    set(larkspur_dlltool_machine "i386:x86-64")
else()
    set(larkspur_delay_hook_symbol "___pfnDliNotifyHook2")
    set(larkspur_dlltool_machine "i386")
endif()

# larkspur_delay_import(NAME DLL): the INTERFACE target NAME for lib<NAME>.a.
function(larkspur_delay_import name dll)
    find_file(implib NAMES "lib${name}.a" PATHS "/usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32/lib"
        NO_DEFAULT_PATH NO_CACHE REQUIRED)
    set(out "${CMAKE_BINARY_DIR}/delayimp")
    set(lib "${out}/lib${name}_delay.a")
    add_custom_command(OUTPUT "${lib}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${out}"
        COMMAND sh "${CMAKE_SOURCE_DIR}/cmake/make-delay-lib.sh" "${LARKSPUR_NM}" "${LARKSPUR_DLLTOOL}"
            "${larkspur_dlltool_machine}" "${implib}" "${dll}" "${out}/${name}.def" "${lib}"
        DEPENDS "${CMAKE_SOURCE_DIR}/cmake/make-delay-lib.sh" "${implib}"
        VERBATIM)
    add_custom_target(${name}_delay_lib DEPENDS "${lib}")
    add_library(${name} INTERFACE)
    add_dependencies(${name} ${name}_delay_lib)
    target_link_libraries(${name} INTERFACE "-Wl,-u,${larkspur_delay_hook_symbol}" system_delay_hook "${lib}")
endfunction()

larkspur_delay_import(gdiplus gdiplus.dll)
larkspur_delay_import(msimg32 msimg32.dll)
