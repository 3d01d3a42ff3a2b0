# Cross build for 64-bit Windows with MinGW-w64, posix thread model (std::thread,
# std::mutex), runtime linked statically so no MinGW DLL travels with the program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOVIRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOVIRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVIRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVIRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVIRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
