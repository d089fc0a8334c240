# Cross-compiles metclust.exe for 64-bit Windows with mingw-w64 (Debian
# package g++-mingw-w64-x86-64). The executable is linked statically, so a
# bare Windows needs nothing beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(METCLUST_MINGW_PREFIX x86_64-w64-mingw32)
# The win32 thread model needs no threading library at run time.
find_program(METCLUST_MINGW_CXX NAMES ${METCLUST_MINGW_PREFIX}-g++-win32 ${METCLUST_MINGW_PREFIX}-g++
             REQUIRED)
set(CMAKE_CXX_COMPILER ${METCLUST_MINGW_CXX})
find_program(CMAKE_RC_COMPILER NAMES ${METCLUST_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${METCLUST_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
