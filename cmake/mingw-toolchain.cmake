# Shared part of the mingw-w64 toolchain files (posix thread model): the
# including file sets LARKSPUR_TOOLCHAIN_ARCH (i686 or x86_64) first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LARKSPUR_TOOLCHAIN_ARCH})

set(CMAKE_C_COMPILER   ${LARKSPUR_TOOLCHAIN_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${LARKSPUR_TOOLCHAIN_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  ${LARKSPUR_TOOLCHAIN_ARCH}-w64-mingw32-windres)
set(CMAKE_AR           ${LARKSPUR_TOOLCHAIN_ARCH}-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${LARKSPUR_TOOLCHAIN_ARCH}-w64-mingw32-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${LARKSPUR_TOOLCHAIN_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

if(NOT LARKSPUR_NO_EMULATOR)
    get_filename_component(_larkspur_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${_larkspur_root}/scripts/wine-run")
endif()
