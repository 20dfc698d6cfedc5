# Manual pages: written in scdoc next to the program they describe, made into roff at build time
# and installed compressed, as Debian wants them.
find_program(VELGRIN_SCDOC scdoc REQUIRED)
find_program(VELGRIN_GZIP gzip REQUIRED)

# velgrin_add_manual(TARGET SOURCE): SOURCE is NAME.SECTION.scd beside the calling CMakeLists.
# Makes NAME.SECTION (read by the tests) and NAME.SECTION.gz (installed) in the binary dir, and
# the target TARGET that builds them with everything.
function(velgrin_add_manual target source)
    get_filename_component(page_name ${source} NAME_WLE)
    string(REGEX MATCH "[0-9]$" section ${page_name})
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${page_name})
    add_custom_command(
        OUTPUT ${page} ${page}.gz
        COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && \"$3\" -9nc \"$2\" > \"$2.gz\""
                ${VELGRIN_SCDOC} ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${page} ${VELGRIN_GZIP}
        DEPENDS ${source}
        COMMENT "Making the manual page ${page_name}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${page} ${page}.gz)
    set_target_properties(${target} PROPERTIES PAGE ${page})
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
