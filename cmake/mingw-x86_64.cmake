# Cross-compiles 64-bit Windows programs with mingw-w64 (posix thread model)
# for machines that cannot run 32-bit programs; run under wine64 by scripts/wine-run.
set(LARKSPUR_TOOLCHAIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
