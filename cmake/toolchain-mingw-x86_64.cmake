# Cross build for 64-bit x86 (x86_64) Windows with the posix-thread flavour of mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORMLAN_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
