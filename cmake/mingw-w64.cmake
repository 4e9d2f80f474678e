# Cross-building for 64-bit Windows with MinGW-w64 on Debian, the tests run under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# SQLite and GoogleTest come from KESTRUMEL_WINDOWS_PREFIX, where scripts/windows-libraries.sh
# builds them from Debian's sources.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix flavour: the win32 one has no std::thread.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT KESTRUMEL_WINDOWS_PREFIX)
  set(KESTRUMEL_WINDOWS_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build-windows-libraries")
endif()
get_filename_component(KESTRUMEL_WINDOWS_PREFIX "${KESTRUMEL_WINDOWS_PREFIX}" ABSOLUTE)
# Checks of the compiler run in projects of their own, which need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTRUMEL_WINDOWS_PREFIX)

# Libraries and headers for Windows only, never the host's; programs (gzip) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${KESTRUMEL_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and GoogleTest's test discovery start the test programs through Wine, quietly.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all wine)
