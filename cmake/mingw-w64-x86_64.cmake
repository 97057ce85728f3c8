# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# Cross build for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64-posix).
# Used for the store and its contract tests only, which then run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEB_MINGW_PREFIX x86_64-w64-mingw32)
# The posix threading flavour: GoogleTest needs std::mutex and std::thread.
set(CMAKE_C_COMPILER ${ZEB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into the .exe, so Wine needs no MinGW DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
