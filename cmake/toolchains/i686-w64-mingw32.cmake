# Cross build for 32-bit Windows with MinGW-w64, the posix thread model (the SDK uses std::mutex,
# std::call_once and thread_local), and Wine to run the test programs.
# Third-party libraries come from one prefix that scripts/install-deps.sh --win32 fills.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ORB_MINGW_TRIPLET i686-w64-mingw32)
if(DEFINED ENV{ORB_WIN32_PREFIX})
  set(ORB_WIN32_PREFIX "$ENV{ORB_WIN32_PREFIX}")
else()
  # A folder of the user's own, so that filling it never needs root.
  set(ORB_WIN32_PREFIX "$ENV{HOME}/.cache/orb-win32/i686")
endif()

set(CMAKE_C_COMPILER ${ORB_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORB_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORB_MINGW_TRIPLET}-windres)

# Libraries, headers and package files only from the prefix and the MinGW sysroot, never from
# the build machine; programs (Wine, the binutils) from the build machine.
set(CMAKE_FIND_ROOT_PATH ${ORB_WIN32_PREFIX} /usr/${ORB_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ORB_WINE wine)
if(ORB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORB_WINE})
endif()

# The runtime goes into every binary, so the DLL imports only system DLLs and a test program
# runs without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
