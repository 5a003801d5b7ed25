# What `cmake --install` puts where: the programs in bin/, the library, the generator plug-in and
# the library's modules in <libdir>/vantler/ (VANTLER_INSTALL_LIBDIR, which the programs' run path and plug-in
# path name relative to their own folder, so that an installed tree works wherever it is unpacked:
# DESTDIR, a sandbox's /usr),
# and the desktop integration: the thumbnailer entry, the viewer's desktop entry and the MIME type
# of Vantler documents.
# Included at the end of the top CMakeLists.txt, once every target exists; targets that a build
# leaves out are skipped.

foreach(program vantler-ql vantler-thumbnailer vantler-view)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# The library, the generator plug-in, and the modules the library loads on demand
# (LoadableModule.h finds them beside the library).
foreach(library Vantler VantlerQuickLook VantlerMedia VantlerText VantlerImageCodecs VantlerXML)
    if(TARGET ${library})
        install(TARGETS ${library} LIBRARY DESTINATION ${VANTLER_INSTALL_LIBDIR})
    endif()
endforeach()

# The file managers' thumbnailer entries and shared-mime-info's source packages
# (update-mime-database, run by the distribution's package trigger, builds the database from them).
install(FILES ${PROJECT_SOURCE_DIR}/data/vantler.thumbnailer
        DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${PROJECT_SOURCE_DIR}/data/vantler-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vantler.xml)
# The viewer's desktop entry, through which file managers open documents with it
# (update-desktop-database, run by the distribution's package trigger, indexes it by MIME type).
if(TARGET vantler-view)
    install(FILES ${PROJECT_SOURCE_DIR}/data/vantler-view.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
