# SPDX-License-Identifier: MIT

# Installs SOURCE compressed as DESTINATION/NAME.gz (NAME: RENAME, else the file's own
# name) in COMPONENT. gzip -9n leaves out the name and the time stamp, so the bytes depend
# on the content alone, as Debian asks of manual pages and changelogs.
function(veskari_install_gzipped source)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESTINATION;COMPONENT;RENAME" "")
    get_filename_component(name "${source}" NAME)
    if(arg_RENAME)
        set(name "${arg_RENAME}")
    endif()
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/gzipped/${arg_COMPONENT}/${arg_DESTINATION}")
    add_custom_command(
        OUTPUT "${folder}/${name}.gz"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${folder}"
        COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${folder}/${name}"
        COMMAND gzip -9nf "${folder}/${name}"
        DEPENDS "${source}"
        VERBATIM)
    string(MAKE_C_IDENTIFIER "gzip_${arg_COMPONENT}_${arg_DESTINATION}_${name}" target)
    add_custom_target(${target} ALL DEPENDS "${folder}/${name}.gz")
    install(FILES "${folder}/${name}.gz" DESTINATION "${arg_DESTINATION}" COMPONENT ${arg_COMPONENT})
endfunction()
