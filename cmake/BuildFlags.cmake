# Flags every target of the project gets, through the interface target varic_build_flags, and
# the build's options: sanitizers, coverage, warnings as errors.
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

# Four defaults for every target this project defines, set as variables because CMake keeps
# them as target properties that an interface target cannot pass on: no GNU extensions, code
# that can go into a shared module, and symbols hidden unless exported. The visibility
# properties let CMake add -fvisibility only where the platform has it (not for Windows DLLs,
# which export by dllexport). They reach every target defined after this point (GoogleTest too,
# where the Windows build compiles it from source); prebuilt libraries are not touched.
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

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

# ---- Options ----------------------------------------------------------------------------------

# Sanitizers for every target, compiled in and linked: a list for -fsanitize=, such as
# "address;undefined;float-cast-overflow" (the asan preset), "thread" (tsan) or
# "fuzzer-no-link;address;undefined" (fuzz). A sanitizer stops the program at its first report.
set(VARIC_SANITIZE "" CACHE STRING "Sanitizers for -fsanitize=, as a list (empty: none)")
if(VARIC_SANITIZE)
    list(JOIN VARIC_SANITIZE "," varic_sanitizers)
    target_compile_options(varic_build_flags INTERFACE
        -fsanitize=${varic_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(varic_build_flags INTERFACE -fsanitize=${varic_sanitizers})
endif()

# gcov's line and branch counts for every target (the coverage preset); gcov or gcovr read them
# from the build folder after a test run.
option(VARIC_COVERAGE "Instrument every target for coverage (gcov)" OFF)
if(VARIC_COVERAGE)
    target_compile_options(varic_build_flags INTERFACE --coverage)
    target_link_options(varic_build_flags INTERFACE --coverage)
endif()

# The product code (the effect classes, the plug-in binary, the host library and varic) builds
# without a warning; the presets that only ./dev test builds make any warning there an error.
# Tests, benchmarks and fuzz targets keep warnings as warnings: their headers come from
# GoogleTest and Google Benchmark, whose next versions may warn.
option(VARIC_WARNINGS_AS_ERRORS "Treat warnings in the product code as errors" OFF)
function(varic_product_code)
    set_target_properties(${ARGN} PROPERTIES COMPILE_WARNING_AS_ERROR ${VARIC_WARNINGS_AS_ERRORS})
endfunction()
