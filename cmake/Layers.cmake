# The layers stay straight. Each library publishes only its own folder as include folder, so a
# source that includes a header of a layer its target does not link fails to compile. A header
# is compiled, though, wherever it is included: one in binding/ that reached for a header of
# effect_base/ would still compile inside effect_base/'s sources, which see both folders.
# varic_headers_alone compiles each header of a layer by itself, with only what its library
# links, so such an include fails the build where it was written.
#
#   varic_headers_alone(LIBRARY PATTERN...)   globs relative to the current source folder

function(varic_headers_alone library)
    file(GLOB headers RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${ARGN})
    set(sources)
    foreach(header IN LISTS headers)
        get_filename_component(name ${header} NAME_WE)
        set(source ${CMAKE_CURRENT_BINARY_DIR}/headers_alone/${library}/${name}.cpp)
        file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${CMAKE_CURRENT_SOURCE_DIR}/${header}\"\n")
        list(APPEND sources ${source})
    endforeach()
    add_library(${library}_headers_alone OBJECT ${sources})
    target_link_libraries(${library}_headers_alone PRIVATE ${library} varic_build_flags)
    set_target_properties(${library}_headers_alone PROPERTIES
        COMPILE_WARNING_AS_ERROR ${VARIC_WARNINGS_AS_ERRORS})
endfunction()
