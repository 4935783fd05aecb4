# Cross-building brixfilter.exe for 64-bit Windows with MinGW-w64 (Debian: mingw-w64), POSIX
# thread model. The program is linked statically, so that it needs no DLL beside the system's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRIX_MINGW_ZIEL x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRIX_MINGW_ZIEL}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRIX_MINGW_ZIEL}-g++-posix)
set(CMAKE_RC_COMPILER ${BRIX_MINGW_ZIEL}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRIX_MINGW_ZIEL})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# GCC 12 warns wrongly about overlapping copies in std::string's operator+ at -O3 (GCC bug
# 105329); the native build at -O2 does not see it.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all wine)
