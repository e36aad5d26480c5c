# Cross build for 32-bit Windows, the shipping configuration of the tray program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# SSE2 for every instruction that can use it, as the shipping program has always been
# meant to: Windows 8 and later require it, and the text scanners then run the same SSE2
# paths on 32-bit as on 64-bit. mingw-w64's gcc realigns the stack where SSE values live,
# since Windows promises 32-bit code only four bytes of alignment.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
