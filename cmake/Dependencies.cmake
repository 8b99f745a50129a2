# Third-party libraries, as interface targets named vg::<lib>.
#  native, wine: Debian's native libraries, linked directly (Winelib takes them
#                as they are; they expect Unix paths).
#  win32:        libgcrypt, libgpg-error and zlib statically from Debian's
#                mingw-w64 packages; SQLite, libzip and FreeImage are DLLs
#                shipped beside the program, linked through import libraries
#                made here from .def files, with headers copied from Debian's
#                native -dev packages.

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

  set(VG_3P_INCLUDE ${CMAKE_BINARY_DIR}/thirdparty/include)
  file(MAKE_DIRECTORY ${VG_3P_INCLUDE})
  foreach(h sqlite3.h sqlite3ext.h zip.h zipconf.h FreeImage.h)
    if(NOT EXISTS /usr/include/${h})
      message(FATAL_ERROR "/usr/include/${h} is missing: run scripts/install-deps.sh")
    endif()
    file(COPY /usr/include/${h} DESTINATION ${VG_3P_INCLUDE})
  endforeach()

  find_program(VG_DLLTOOL ${VG_MINGW}-dlltool REQUIRED)
  foreach(dll sqlite3 zip FreeImage)
    set(def ${CMAKE_SOURCE_DIR}/cmake/win32/${dll}.def)
    set(implib ${CMAKE_BINARY_DIR}/thirdparty/lib${dll}.dll.a)
    add_custom_command(OUTPUT ${implib}
      COMMAND ${VG_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --output-lib ${implib}
      DEPENDS ${def} VERBATIM)
    add_custom_target(implib_${dll} DEPENDS ${implib})
    string(TOLOWER ${dll} lname)
    add_library(vg_${lname} INTERFACE)
    add_library(vg::${lname} ALIAS vg_${lname})
    add_dependencies(vg_${lname} implib_${dll})
    target_include_directories(vg_${lname} SYSTEM INTERFACE ${VG_3P_INCLUDE})
    target_link_libraries(vg_${lname} INTERFACE ${implib})
  endforeach()

  # fltlib.dll exports its stdcall functions undecorated: --kill-at.
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
