# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads), e.g.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The executables link statically (see CMakeLists.txt), so they start on a bare Windows.
# Tests run through Wine when it is installed: ctest starts each .exe with it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MIRABEL_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix variant: std::thread and std::mutex need its winpthreads runtime.
set(CMAKE_C_COMPILER ${MIRABEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIRABEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MIRABEL_MINGW_TRIPLE}-windres)

# Headers and libraries come from the MinGW tree only, build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MIRABEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs quietly (WINEDEBUG=-all): its own messages would land on the standard error of the
# programs the tests start, which the tests expect empty.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(MIRABEL_WINE wine)
  if(MIRABEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${MIRABEL_WINE})
  endif()
endif()
