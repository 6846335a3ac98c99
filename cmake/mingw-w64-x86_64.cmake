# Cross-compiling for 64-bit Windows on x86-64 with Debian's MinGW-w64 compilers
# (package g++-mingw-w64-x86-64).
#
# The posix thread model is used: with it GCC 12's libstdc++ has std::mutex and std::thread,
# which the host library and GoogleTest need. Its runtime (libstdc++, libgcc, winpthread) is
# linked statically into every binary, so the DLL needs nothing but the DLLs Windows ships.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARIC_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(VARIC_MINGW_CXX ${VARIC_MINGW_TRIPLET}-g++-posix)
find_program(VARIC_MINGW_CC ${VARIC_MINGW_TRIPLET}-gcc-posix)
if(NOT VARIC_MINGW_CXX OR NOT VARIC_MINGW_CC)
    message(FATAL_ERROR
        "The Windows build needs the MinGW-w64 cross compiler: "
        "apt-get install g++-mingw-w64-x86-64")
endif()
set(CMAKE_CXX_COMPILER ${VARIC_MINGW_CXX})
set(CMAKE_C_COMPILER ${VARIC_MINGW_CC})
set(CMAKE_RC_COMPILER ${VARIC_MINGW_TRIPLET}-windres)

# Libraries and headers come from the cross environment only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VARIC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
