# Winelib, x86-64: the whole program built as a Linux ELF that runs under wine64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER /usr/lib/wine/winegcc)
set(CMAKE_CXX_COMPILER /usr/lib/wine/wineg++)
set(CMAKE_RC_COMPILER /usr/lib/wine/wrc)
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/wine-rules.cmake)
# Tests run through a launcher that keeps their programs off ctest's pipe
# and fails a test when a program it started crashes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-test.sh)
set(VG_PLATFORM wine CACHE STRING "" FORCE)
# A Winelib program is a shared object: everything is position-independent.
set(CMAKE_C_FLAGS_INIT "-fPIC")
set(CMAKE_CXX_FLAGS_INIT "-fPIC")
