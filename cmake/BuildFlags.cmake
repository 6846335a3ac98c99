# Flags every target of the project gets, through the interface target varic_build_flags.
#
# Floating point is part of the contract: the crossfeed's output is bit-exact with its
# recursion only when every product and sum is rounded as written. GCC contracts a * b + c
# into a fused multiply-add by default wherever the instruction set has one, so contraction is
# switched off everywhere and fast-math is never used.

add_library(varic_build_flags INTERFACE)
target_compile_features(varic_build_flags INTERFACE cxx_std_20)
target_compile_options(varic_build_flags INTERFACE
    -Wall -Wextra
    -ffp-contract=off
    -fno-fast-math)

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# On Windows every binary carries its own C++ runtime (libstdc++, libgcc, winpthread), so the
# plug-in DLL and the test programs load on any Windows with nothing but its system DLLs.
if(WIN32)
    target_link_options(varic_build_flags INTERFACE -static)
endif()

# The shipped binaries keep the baseline x86-64 instruction set (no -march=native). When the
# flags of a build enable AVX anyway, GCC 12's SLP vectoriser fuses the filter's two state
# updates into one vfmsubadd even with -ffp-contract=off, and the output is no longer exact:
# such builds also get -fno-tree-slp-vectorize. tests/check_no_fma.sh checks the result.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
#ifndef __AVX__
#error the baseline instruction set
#endif
int main() { return 0; }" VARIC_TARGET_HAS_AVX)
if(VARIC_TARGET_HAS_AVX AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(varic_build_flags INTERFACE -fno-tree-slp-vectorize)
endif()
