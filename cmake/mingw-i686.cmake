# Cross-compiles 32-bit Windows programs with mingw-w64 (posix thread model)
# and runs them under Wine through scripts/wine-run.
set(LARKSPUR_TOOLCHAIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
