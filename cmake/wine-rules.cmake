# winegcc with "-o foo" writes a launcher script beside foo.so; name the real
# output ourselves so CMake sees the file it expects.
set(CMAKE_EXECUTABLE_SUFFIX ".exe.so")
set(CMAKE_RC_COMPILE_OBJECT "<CMAKE_RC_COMPILER> <DEFINES> <INCLUDES> <FLAGS> -o <OBJECT> <SOURCE>")
