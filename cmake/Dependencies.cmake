# Third-party libraries, as interface targets named vg::<lib>.
#  native, wine: Debian's native libraries, linked directly (Winelib takes them
#                as they are; they expect Unix paths).
#  win32:        libgcrypt, libgpg-error and zlib statically from Debian's
#                mingw-w64 packages; SQLite, libzip and FreeImage are DLLs
#                shipped beside the program, cross-built from Debian's source
#                packages by scripts/build-win32-deps.sh.

function(vg_interface name)
  add_library(vg_${name} INTERFACE)
  add_library(vg::${name} ALIAS vg_${name})
  target_link_libraries(vg_${name} INTERFACE ${ARGN})
endfunction()

if(NOT VG_PLATFORM STREQUAL "win32")
  vg_interface(gcrypt gcrypt gpg-error)
  vg_interface(zlib z)
  vg_interface(sqlite3 sqlite3)
  vg_interface(zip zip)
  vg_interface(freeimage freeimage)
  find_package(Threads REQUIRED)
  vg_interface(threads Threads::Threads)
else()
  vg_interface(gcrypt gcrypt gpg-error ws2_32)
  vg_interface(zlib z)
  vg_interface(threads)

  # The DLLs shipped beside the program, cross-built from Debian's source
  # packages by scripts/build-win32-deps.sh (import libraries and headers of
  # exactly those builds).
  set(VG_WIN32_DEPS ${CMAKE_SOURCE_DIR}/build/win32-deps/out CACHE PATH
      "Output folder of scripts/build-win32-deps.sh")
  foreach(dll sqlite3 zip FreeImage)
    set(implib ${VG_WIN32_DEPS}/lib/lib${dll}.dll.a)
    if(NOT EXISTS ${implib} OR NOT EXISTS ${VG_WIN32_DEPS}/bin/${dll}.dll)
      message(FATAL_ERROR "${dll}.dll is not built in ${VG_WIN32_DEPS}: run scripts/build-win32-deps.sh")
    endif()
    string(TOLOWER ${dll} lname)
    add_library(vg_${lname} INTERFACE)
    add_library(vg::${lname} ALIAS vg_${lname})
    target_include_directories(vg_${lname} SYSTEM INTERFACE ${VG_WIN32_DEPS}/include)
    target_link_libraries(vg_${lname} INTERFACE ${implib})
  endforeach()

  # fltlib.dll exports its stdcall functions undecorated: --kill-at.
  find_program(VG_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
  set(implib ${CMAKE_BINARY_DIR}/thirdparty/libfltlib.dll.a)
  add_custom_command(OUTPUT ${implib}
    COMMAND ${VG_DLLTOOL} --kill-at --input-def ${CMAKE_SOURCE_DIR}/cmake/win32/fltlib.def
            --dllname fltlib.dll --output-lib ${implib}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/win32/fltlib.def VERBATIM)
  add_custom_target(implib_fltlib DEPENDS ${implib})
  add_library(vg_fltlib INTERFACE)
  add_library(vg::fltlib ALIAS vg_fltlib)
  add_dependencies(vg_fltlib implib_fltlib)
  target_link_libraries(vg_fltlib INTERFACE ${implib})
endif()

# The Win32 system libraries the program uses.
if(VG_WIN32API)
  vg_interface(win32sys gdi32 user32 comctl32 comdlg32 shell32 shlwapi advapi32
               ole32 oleaut32 uuid version setupapi wininet psapi)
endif()
