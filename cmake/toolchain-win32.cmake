# MinGW-w64 i686: the 32-bit Windows executable (not run here, only linked).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VG_MINGW i686-w64-mingw32)
# The win32 thread model: the posix one links winpthread, which imports
# functions that Windows 2000 and XP lack. The program's threads are Win32
# threads; no C++ thread library is used in this build.
set(CMAKE_C_COMPILER ${VG_MINGW}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VG_MINGW}-g++-win32)
set(CMAKE_RC_COMPILER ${VG_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VG_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(VG_PLATFORM win32 CACHE STRING "" FORCE)
