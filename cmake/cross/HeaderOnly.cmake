# A header-only Debian package for a cross-build: the host's config files would put all of
# /usr/include on the target compiler's path, so the package's own header folder alone is
# offered, through a folder that links to it.
function(lunavio_header_only_package target header_folder)
    if(TARGET ${target})
        return()
    endif()
    string(MAKE_C_IDENTIFIER "${target}" name)
    set(include_dir "${CMAKE_BINARY_DIR}/cross-headers/${name}")
    get_filename_component(leaf "${header_folder}" NAME)
    file(MAKE_DIRECTORY "${include_dir}")
    file(CREATE_LINK "${header_folder}" "${include_dir}/${leaf}" SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
endfunction()
