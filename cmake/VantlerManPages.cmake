# The programs' manual pages, written by help2man from each program's own --help and --version and
# a hand-written include file (docs/man/PROGRAM.h2m: description, examples, files, limits), so that
# a page never says other than the program it documents. Built with everything else when help2man
# is found (Debian package help2man); installed compressed into share/man/man1.

find_program(HELP2MAN_PROGRAM help2man)
if(NOT HELP2MAN_PROGRAM)
    message(STATUS "help2man not found: the manual pages are not built or installed")
    return()
endif()
find_program(GZIP_PROGRAM gzip REQUIRED)

set(VANTLER_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(vantler_man_pages)
foreach(program vantler-ql vantler-thumbnailer vantler-view)
    if(NOT TARGET ${program})
        continue()
    endif()
    # The include file names the installed folders (libdir) as this build installs them.
    set(include_file ${VANTLER_MAN_DIR}/${program}.h2m)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${program}.h2m ${include_file} @ONLY)
    set(page ${VANTLER_MAN_DIR}/${program}.1)
    # help2man reads the program's --help and --version through usage-as-synopsis, which puts the
    # usage lines in the form help2man makes a SYNOPSIS of; the NAME line comes from the include
    # file, the date from SOURCE_DATE_EPOCH when it is set. gzip -n keeps the name and time out of
    # the compressed page, so two builds of one commit agree.
    set(help_filter ${PROJECT_SOURCE_DIR}/docs/man/usage-as-synopsis)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env VANTLER_MAN_PROGRAM=$<TARGET_FILE:${program}>
                ${HELP2MAN_PROGRAM} --no-info --section=1
                --include=${include_file} --output=${page} ${help_filter}
        COMMAND ${GZIP_PROGRAM} -9nf ${page}
        DEPENDS ${program} ${include_file} ${help_filter}
        COMMENT "Writing the manual page of ${program}")
    list(APPEND vantler_man_pages ${page}.gz)
endforeach()
add_custom_target(vantler-man-pages ALL DEPENDS ${vantler_man_pages})
install(FILES ${vantler_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
