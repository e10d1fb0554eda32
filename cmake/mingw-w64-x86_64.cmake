# SPDX-License-Identifier: MIT
#
# Cross build for Windows x86-64 with Debian's MinGW-w64 (the posix threading model,
# which std::thread needs), every library linked in: the programs need no DLL but
# the system's. The programs and tests run under Wine (tools/wine-run).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)  # GoogleTest asks for C as well
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 warns of overlapping copies inside libstdc++'s own string code at -O2 (GCC bug
# 105329, fixed in 13); the native build's flags do not meet it.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# libstdc++, libgcc and winpthreads inside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and test discovery run the .exe files under Wine, in the prefix of
# WINEPREFIX or else in one of the build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run;${CMAKE_BINARY_DIR}/wine-prefix")
