# Install rules: `cmake --install BUILD --prefix P` (DESTDIR works too). Every destination is
# relative to the prefix, so an installed tree may be moved as a whole.
#
#   component    Linux                                    Windows
#   plugin       P/lib/lxvst/VaricCrossfeed.so           P/VaricCrossfeed.dll
#   lv2          P/lib/lv2/varic-crossfeed.lv2/: the LV2 bundle (module, manifest.ttl,
#                varic-crossfeed.ttl); P/share/varic-crossfeed/pipewire/varic-crossfeed.conf
#   cli          P/bin/varic, P/bin/varic-validate, P/share/man/man1/varic{,-validate}.1.gz
#   docs         P/share/doc/varic-crossfeed/: README.md, LICENSE, CHANGELOG.md, docs/, bench/
#                                                         P/README.txt (its own),
#                                                         LICENSE.txt, CHANGELOG.md
#   development  P/include/vst-effect-base/, P/LIBDIR/libvst_effect_{base,entry}.a,
#                P/LIBDIR/cmake/VstEffectBase/, P/LIBDIR/pkgconfig/vst-effect-base.pc,
#                P/share/vst-effect-base/exports.map, P/share/vst-effect-base/examples/,
#                P/share/doc/vst-effect-base/: effect-classes.md, validate.md
#
# lib/lxvst is where Debian's VST packages put plug-ins, and Ardour and other Linux hosts scan
# it under /usr and /usr/local; lib/lv2 is where LV2 hosts (through lilv, PipeWire's filter
# chains too) look for bundles under both. The PipeWire file is a device for a user to take
# into their own configuration (README): installed where PipeWire reads configuration, it would
# give every user of the machine the crossfeed device, and no one would have chosen it.
# cmake/Packaging.cmake puts the components into packages: a new binary needs its install()
# rule here with a COMPONENT, and one line there.

# Libraries, pkg-config and CMake files in the multiarch folder where the system has one
# (lib/x86_64-linux-gnu on Debian): pkg-config and find_package search it under any prefix.
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VARIC_INSTALL_PLUGINDIR lib/lxvst CACHE STRING
    "Where the Linux plug-in is installed, relative to the prefix")
set(VARIC_INSTALL_LV2DIR lib/lv2 CACHE STRING
    "Where the LV2 bundle is installed, relative to the prefix")
set(VARIC_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/varic-crossfeed)

# Texts compressed as Debian wants them (gzip -n: no name or time stamp, the same bytes on
# every build); man reads them so everywhere.
function(varic_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9nc ${source} > ${output}
        DEPENDS ${source} VERBATIM)
endfunction()

if(WIN32)
    install(TARGETS VaricCrossfeed LIBRARY DESTINATION . RUNTIME DESTINATION . COMPONENT plugin)
    # A text of its own, not the repository's README: its links lead to files the zip lacks.
    configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt.in
                   ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/README.txt CHANGELOG.md DESTINATION . COMPONENT docs)
    install(FILES LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT docs)
    return()
endif()

# ---- for listeners ---------------------------------------------------------------------------

install(TARGETS VaricCrossfeed LIBRARY DESTINATION ${VARIC_INSTALL_PLUGINDIR} COMPONENT plugin)

if(TARGET varic)
    # varic and varic-validate find the plug-in from their own folder
    # (tools/cli/plugin_location.cpp, tools/validate/main.cpp).
    file(RELATIVE_PATH bin_to_plugins /${CMAKE_INSTALL_BINDIR} /${VARIC_INSTALL_PLUGINDIR})
    target_compile_definitions(varic_commands PRIVATE
        VARIC_INSTALLED_PLUGIN="${bin_to_plugins}/$<TARGET_FILE_NAME:VaricCrossfeed>")
    target_compile_definitions(varic_validate_program PRIVATE
        VARIC_INSTALLED_PLUGIN="${bin_to_plugins}/$<TARGET_FILE_NAME:VaricCrossfeed>")
    install(TARGETS varic varic_validate_program
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)

    # The man pages: the templates' own sections, and each command's synopsis, description and
    # options from its help (tools/cli/manual.cpp).
    foreach(page varic varic-validate)
        configure_file(${PROJECT_SOURCE_DIR}/packaging/${page}.1.in
                       ${PROJECT_BINARY_DIR}/${page}.1.template @ONLY)
        add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${page}.1
            COMMAND varic_manual man ${page} ${PROJECT_BINARY_DIR}/${page}.1.template
                    ${PROJECT_BINARY_DIR}/${page}.1
            DEPENDS varic_manual ${PROJECT_BINARY_DIR}/${page}.1.template VERBATIM)
        varic_gzip(${PROJECT_BINARY_DIR}/${page}.1 ${PROJECT_BINARY_DIR}/${page}.1.gz)
        list(APPEND varic_man_pages ${PROJECT_BINARY_DIR}/${page}.1.gz)
    endforeach()
    add_custom_target(varic_manual_pages ALL DEPENDS ${varic_man_pages})
    install(FILES ${varic_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
endif()

install(TARGETS varic_crossfeed_lv2
        LIBRARY DESTINATION ${VARIC_INSTALL_LV2DIR}/varic-crossfeed.lv2 COMPONENT lv2)
install(FILES ${VARIC_LV2_PATH}/varic-crossfeed.lv2/manifest.ttl
              ${VARIC_LV2_PATH}/varic-crossfeed.lv2/varic-crossfeed.ttl
        DESTINATION ${VARIC_INSTALL_LV2DIR}/varic-crossfeed.lv2 COMPONENT lv2)
install(FILES pipewire/varic-crossfeed.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/varic-crossfeed/pipewire COMPONENT lv2)

# The README and every page it links to, laid out as in the source tree so that its links find
# them: the PipeWire device's setup and varic's commands are in docs/.
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${VARIC_INSTALL_DOCDIR} COMPONENT docs)
install(DIRECTORY docs/ DESTINATION ${VARIC_INSTALL_DOCDIR}/docs COMPONENT docs)
install(FILES bench/README.md DESTINATION ${VARIC_INSTALL_DOCDIR}/bench COMPONENT docs)

# ---- for effect developers: the package VstEffectBase ----------------------------------------
#
# One imported target, VstEffectBase::VstEffectBase: the classes, their headers, the
# floating-point flags their results depend on, and for a MODULE library (a plug-in binary)
# the entry and the export map that leave VSTPluginMain and main its only exports. The entry
# is a library of its own, linked only into modules: in the classes' library its alias main
# could stand in for a program's own.

set(VARIC_DEV_NAME vst-effect-base)
set(VARIC_DEV_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/${VARIC_DEV_NAME})
set(VARIC_DEV_DATADIR ${CMAKE_INSTALL_DATADIR}/${VARIC_DEV_NAME})
set(VARIC_DEV_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/VstEffectBase)

add_library(vst_effect_entry STATIC effect_base/plugin_entry.cpp)
target_link_libraries(vst_effect_entry PRIVATE $<BUILD_INTERFACE:vst_effect_base>)
set_target_properties(vst_effect_entry PROPERTIES EXPORT_NAME PluginEntry)
set_target_properties(vst_effect_base PROPERTIES EXPORT_NAME VstEffectBase)
target_compile_features(vst_effect_base INTERFACE cxx_std_14)
target_compile_options(vst_effect_base INTERFACE
    $<INSTALL_INTERFACE:-ffp-contract=off> $<INSTALL_INTERFACE:-fno-fast-math>)

# The headers keep the two folders of the source tree. Both folders are include folders, as in
# the build (the headers include each other by file name), and so is the folder above them:
# code written against 1.0.0 includes "effect_base/audio_effect_x.h" and still compiles.
install(TARGETS vst_effect_base vst_effect_entry EXPORT VstEffectBaseTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        INCLUDES DESTINATION ${VARIC_DEV_INCLUDEDIR} ${VARIC_DEV_INCLUDEDIR}/binding
                             ${VARIC_DEV_INCLUDEDIR}/effect_base)
# Of the bottom layer, the headers the classes' headers include.
install(FILES binding/aeffect.h binding/conversions.h binding/vst_records.h
        DESTINATION ${VARIC_DEV_INCLUDEDIR}/binding COMPONENT development)
install(DIRECTORY effect_base/ DESTINATION ${VARIC_DEV_INCLUDEDIR}/effect_base
        COMPONENT development FILES_MATCHING PATTERN "*.h" PATTERN entry_routines.h EXCLUDE)
# 1.0.0 installed these two under effect_base/; a header of one line keeps each old name.
foreach(moved conversions.h vst_records.h)
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/moved_headers/${moved} CONTENT
        "#pragma once\n// Now binding/${moved}; this name stays for code written against 1.0.0.\n#include \"../binding/${moved}\"\n")
    install(FILES ${PROJECT_BINARY_DIR}/moved_headers/${moved}
            DESTINATION ${VARIC_DEV_INCLUDEDIR}/effect_base COMPONENT development)
endforeach()
install(FILES effect_base/exports.map DESTINATION ${VARIC_DEV_DATADIR} COMPONENT development)
install(EXPORT VstEffectBaseTargets NAMESPACE VstEffectBase::
        DESTINATION ${VARIC_DEV_CMAKEDIR} COMPONENT development)

configure_package_config_file(packaging/VstEffectBaseConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VstEffectBaseConfig.cmake
    INSTALL_DESTINATION ${VARIC_DEV_CMAKEDIR}
    PATH_VARS VARIC_DEV_DATADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VstEffectBaseConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VstEffectBaseConfig.cmake
              ${PROJECT_BINARY_DIR}/VstEffectBaseConfigVersion.cmake
        DESTINATION ${VARIC_DEV_CMAKEDIR} COMPONENT development)

# pkg-config finds the prefix from the file's own place, so the tree stays movable.
file(RELATIVE_PATH varic_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(packaging/vst-effect-base.pc.in ${PROJECT_BINARY_DIR}/${VARIC_DEV_NAME}.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${VARIC_DEV_NAME}.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The examples beside the export map rather than with the documents: minimal images and
# containers leave /usr/share/doc out, and a developer builds from the examples.
install(DIRECTORY examples/ DESTINATION ${VARIC_DEV_DATADIR}/examples COMPONENT development)
install(FILES docs/effect-classes.md docs/validate.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${VARIC_DEV_NAME} COMPONENT development)
