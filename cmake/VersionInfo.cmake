# The one version, project(VERSION), and where it goes besides the packages: the Windows DLL's
# version resource, `varic --version` (tools/CMakeLists.txt) and the man page
# (cmake/Install.cmake). The vendor version the plug-in reports to hosts is fixed by its
# identity (1000); tests/packaging/check_version.sh checks that it reads
# major × 1000 + minor × 100 + patch of this version.

if(WIN32)
    # Compiled with MinGW's windres (CMAKE_RC_COMPILER in the toolchain file).
    enable_language(RC)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/VaricCrossfeed.rc.in
                   ${PROJECT_BINARY_DIR}/VaricCrossfeed.rc @ONLY)
    target_sources(VaricCrossfeed PRIVATE ${PROJECT_BINARY_DIR}/VaricCrossfeed.rc)
endif()
