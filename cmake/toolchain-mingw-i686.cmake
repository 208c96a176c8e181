# Cross build for 32-bit x86 Windows with the posix-thread flavour of mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VORMLAN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
