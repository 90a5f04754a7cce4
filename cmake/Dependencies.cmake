# Libraries from the bootstrap cache and header-only libraries from Debian.

# Header-only libraries installed for the host: expose only their own folders,
# never /usr/include itself, which would shadow the mingw headers.
set(LARKSPUR_HOST_INCLUDE "${CMAKE_BINARY_DIR}/host-include")
file(MAKE_DIRECTORY "${LARKSPUR_HOST_INCLUDE}")
foreach(dir boost rapidxml)
    if(NOT EXISTS "${LARKSPUR_HOST_INCLUDE}/${dir}")
        file(CREATE_LINK "/usr/include/${dir}" "${LARKSPUR_HOST_INCLUDE}/${dir}" SYMBOLIC)
    endif()
endforeach()

add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE "${LARKSPUR_HOST_INCLUDE}")
target_compile_definitions(boost_headers INTERFACE BOOST_ALL_NO_LIB)

add_library(rapidxml INTERFACE)
target_include_directories(rapidxml SYSTEM INTERFACE "${LARKSPUR_HOST_INCLUDE}")

add_library(jsoncpp STATIC IMPORTED GLOBAL)
set_target_properties(jsoncpp PROPERTIES
    IMPORTED_LOCATION "${LARKSPUR_DEPS}/lib/libjsoncpp.a"
    INTERFACE_INCLUDE_DIRECTORIES "${LARKSPUR_DEPS}/include"
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${LARKSPUR_DEPS}/include")

add_library(crypto STATIC IMPORTED GLOBAL)
set_target_properties(crypto PROPERTIES
    IMPORTED_LOCATION "${LARKSPUR_DEPS}/lib/libcrypto.a"
    INTERFACE_INCLUDE_DIRECTORIES "${LARKSPUR_DEPS}/include"
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${LARKSPUR_DEPS}/include"
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;advapi32;user32;bcrypt")

# Duktape and the LZMA SDK C decoder are compiled from their sources in the cache.
# Duktape is built as C++ from a copy whose configuration includes our options
# (cmake/duktape/duk_larkspur_options.h) at its override point.
set(_duk_src "${LARKSPUR_DEPS}/src/duktape")
set(_duk_out "${CMAKE_BINARY_DIR}/duktape")
file(READ "${_duk_src}/duk_config.h" _duk_config)
string(FIND "${_duk_config}" "/* __OVERRIDE_DEFINES__ */" _duk_at)
if(_duk_at EQUAL -1)
    message(FATAL_ERROR "${_duk_src}/duk_config.h has no override point")
endif()
string(REPLACE "/* __OVERRIDE_DEFINES__ */" "#include \"duk_larkspur_options.h\"" _duk_config "${_duk_config}")
file(WRITE "${_duk_out}/duk_config.h.new" "${_duk_config}")
# configure_file rewrites only what changed, so a re-configure rebuilds nothing.
configure_file("${_duk_out}/duk_config.h.new" "${_duk_out}/duk_config.h" COPYONLY)
configure_file("${_duk_src}/duktape.h" "${_duk_out}/duktape.h" COPYONLY)
configure_file("${_duk_src}/duktape.c" "${_duk_out}/duktape.cpp" COPYONLY)
configure_file("${CMAKE_CURRENT_LIST_DIR}/duktape/duk_larkspur_options.h" "${_duk_out}/duk_larkspur_options.h" COPYONLY)
add_library(duktape STATIC "${_duk_out}/duktape.cpp")
target_include_directories(duktape SYSTEM PUBLIC "${_duk_out}")
target_compile_options(duktape PRIVATE -w)

set(_lzma "${LARKSPUR_DEPS}/src/lzma-c")
add_library(lzma_dec STATIC
    ${_lzma}/7zAlloc.c ${_lzma}/7zArcIn.c ${_lzma}/7zBuf.c ${_lzma}/7zBuf2.c ${_lzma}/7zCrc.c
    ${_lzma}/7zCrcOpt.c ${_lzma}/7zDec.c ${_lzma}/7zFile.c ${_lzma}/7zStream.c ${_lzma}/Bcj2.c
    ${_lzma}/Bra.c ${_lzma}/Bra86.c ${_lzma}/BraIA64.c ${_lzma}/CpuArch.c ${_lzma}/Delta.c
    ${_lzma}/Lzma2Dec.c ${_lzma}/LzmaDec.c)
target_include_directories(lzma_dec SYSTEM PUBLIC "${_lzma}")
# PPMD stays out: an #ifdef test enables it, so it must not be defined at all.
target_compile_options(lzma_dec PRIVATE -w)

# GoogleTest and GoogleMock from the sources Debian's googletest package installs.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
