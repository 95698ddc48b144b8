# Cross-compiles for 32-bit Windows (the shipped build) with Debian's MinGW-w64 (win32 thread model: no winpthreads, whose thread code imports SuspendThread and SetThreadContext).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOLVARIN_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLVARIN_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOLVARIN_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TOLVARIN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVARIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Doubles computed as doubles: x87 arithmetic rounds twice (to 64 bits, then to 53), so that a
# version text such as "1.4" would not read as the double 1.4. SSE2 is on every x86 processor
# made since 2004, and Windows 8 and later require it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
