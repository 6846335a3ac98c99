# Packages, made with CPack from the install rules of cmake/Install.cmake (`./dev package`):
#   Linux (release preset)  cpack -G DEB: varic-crossfeed_<version>_amd64.deb for listeners
#                           (components plugin, cli, docs) and
#                           libvst-effect-base-dev_<version>_amd64.deb for effect developers;
#   Windows (windows preset) cpack -G ZIP: VaricCrossfeed-<version>-win64.zip.
# A new binary joins the listeners' package with its install() rule's COMPONENT and a line
# below: cpack_add_component(lv2 DISPLAY_NAME "LV2 bundle" GROUP runtime).

set(CPACK_PACKAGE_NAME varic-crossfeed)
set(CPACK_PACKAGE_VENDOR "Nalt")
set(VARIC_PACKAGE_CONTACT "The Varic Crossfeed authors <varic-crossfeed@nalt.invalid>"
    CACHE STRING "The packages' maintainer: name <address>")
set(CPACK_PACKAGE_CONTACT ${VARIC_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
    # The DLL and its documents, in one folder: VaricCrossfeed-<version>-win64/.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME VaricCrossfeed-${PROJECT_VERSION}-win64)
    set(CPACK_STRIP_FILES OFF)  # the release DLL is linked without a symbol table already
    include(CPack)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the binaries, by dpkg-shlibdeps

set(CPACK_DEBIAN_PACKAGE_SOURCE varic-crossfeed)

# Each package's documents folder holds a copyright file (the licence in Debian's format)
# and a Debian changelog. Only the packages get them: `cmake --install` leaves them out.
file(READ LICENSE license)
string(REGEX REPLACE "^[^\n]*\n\n[^\n]*\n\n" "" license "${license}")  # title, copyright
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " varic_license_text " ${license}")
string(TIMESTAMP varic_release_date "%a, %d %b %Y %H:%M:%S +0000" UTC)  # SOURCE_DATE_EPOCH
configure_file(packaging/debian/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
configure_file(packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
varic_gzip(${PROJECT_BINARY_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_target(varic_debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME varic-crossfeed)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS gnuplot-nox)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION [[headphone crossfeed VST and LV2 plug-in
On headphones each ear hears only its own channel, so hard-panned material
sounds as if it sat inside one ear. Varic Crossfeed feeds a low-passed,
slightly delayed copy of the channel difference to the other side, the way
the far loudspeaker reaches each ear in a room. The sum of the channels passes
unchanged; one parameter, Strength, sets the depth.

This package contains the plug-in for Linux hosts that load VST 2.4 plug-ins
(installed in /usr/lib/lxvst, which Ardour and other hosts scan), the same
crossfeed as an LV2 plug-in (in /usr/lib/lv2), a PipeWire configuration that
makes it an output device for all of a user's sound (see the README), and
varic, a command-line host that inspects a plug-in, renders sound files
through it and plots its frequency response, and varic-validate, which checks
any VST 2.4 effect as a demanding host would (varic validate runs it).]])

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvst-effect-base-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The validator, varic-validate, comes with the crossfeed's package.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_RECOMMENDS varic-crossfeed)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION [[base classes for VST 2.4 effect plug-ins
AudioEffect and AudioEffectX answer the whole VST 2.4 plug-in protocol for an
effect: the core and extended dispatchers, forty requests to the host,
speaker-arrangement tools and value-to-text formatters. An effect derives
from AudioEffectX and overrides what it needs.

This package contains the headers, the static libraries, a CMake package
(find_package(VstEffectBase)), a pkg-config file (vst-effect-base), a guide
to writing an effect on the classes with the validator's checks, and two
example effects in /usr/share/vst-effect-base/examples. varic-validate, in
the package varic-crossfeed, checks an effect as a demanding host would.]])

include(CPack)

foreach(group runtime development)
    string(TOUPPER ${group} GROUP)
    install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${GROUP}_PACKAGE_NAME}
            COMPONENT debian_${group} EXCLUDE_FROM_ALL)
    cpack_add_component(debian_${group} HIDDEN GROUP ${group})
endforeach()
# The one lintian report that is a choice, not a fault, with its reason.
install(FILES packaging/debian/libvst-effect-base-dev.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME libvst-effect-base-dev
        COMPONENT debian_development EXCLUDE_FROM_ALL)
cpack_add_component_group(runtime)
cpack_add_component_group(development)
cpack_add_component(plugin DISPLAY_NAME "VST 2.4 plug-in" GROUP runtime)
cpack_add_component(cli DISPLAY_NAME "Command-line host varic and varic-validate" GROUP runtime)
cpack_add_component(lv2 DISPLAY_NAME "LV2 bundle and PipeWire device" GROUP runtime)
cpack_add_component(docs DISPLAY_NAME "Documents" GROUP runtime)
cpack_add_component(development DISPLAY_NAME "Base classes for effect developers"
                    GROUP development)
