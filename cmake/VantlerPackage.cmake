# The Debian package, made by CPack's DEB generator from the install rules (VantlerInstall.cmake,
# VantlerManPages.cmake): `cpack -G DEB` in a build folder configured for /usr (scripts/package).
# Included at the end of the top CMakeLists.txt, after the install rules.

set(VANTLER_PACKAGE_CONTACT "Vantler developers <developers@vantler.invalid>"
    CACHE STRING "The package's Maintainer field: the people who answer for the package")
set(VANTLER_PACKAGE_HOMEPAGE "" CACHE STRING "The package's Homepage field; left out when empty")

# The documentation Debian asks of every package, in its own folder under the package's name.
set(VANTLER_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/vantler)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright DESTINATION ${VANTLER_PACKAGE_DOCDIR})

# The package's own changelog: one entry for the version being built, dated by SOURCE_DATE_EPOCH
# when it is set (scripts/package sets it to the last commit's time), so that two builds of one
# commit make the same file.
set(VANTLER_PACKAGE_REVISION 1)
string(TIMESTAMP VANTLER_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/changelog.in
               ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
# gzip -n: no name or time stamp inside, so that the compressed file depends on its text alone.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    COMMENT "Compressing the package's changelog")
add_custom_target(vantler-package-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${VANTLER_PACKAGE_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantler)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VANTLER_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "thumbnails, previews and a viewer of Vantler design documents")
# The long description as dpkg shows it: lines under 80 columns, paragraphs apart.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Vantler documents hold interactive prototypes: screens of nested layers"
    "with fills, borders, shadows, text, images and video, and the transitions"
    "between them. This package gives Linux file managers thumbnails of them and"
    "a viewer to open them with, and the command line previews and a look inside."
    ""
    "It contains vantler-thumbnailer, the freedesktop.org thumbnailer that GNOME"
    "Files, XFCE's tumbler and other file managers run for *.vantler files;"
    "vantler-view, a window showing a document's screens side by side on a canvas"
    "that zooms and pans, which file managers open documents with through its"
    "desktop entry; vantler-ql, which writes thumbnails and previews (PNG, PDF,"
    "SVG), summarises and dumps documents, exports their screens and layers as"
    "pictures and embeds a fresh thumbnail in a document; the generator plug-in"
    "and the library the programs load; and the MIME type application/x-vantler.")
set(CPACK_STRIP_FILES ON)
# The package installs where the build was configured to install (scripts/package: /usr), which the
# manual pages' FILES name.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEBIAN_PACKAGE_NAME vantler)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VANTLER_PACKAGE_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(VANTLER_PACKAGE_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VANTLER_PACKAGE_HOMEPAGE})
endif()
# dpkg-shlibdeps names the packages of the libraries the programs, the plug-in and the modules link.
# The modules and the plug-in link libVantler without a run path of their own (the process has
# loaded it already), so its installed folder is named; dpkg-shlibdeps finds it in the staged tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR}/vantler)
# The text module reads the faces of these two packages from their folders (CTFontCatalog.h), which
# no library link shows; without them every text is drawn in whatever face is left, or not at all.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-inter")
# The MIME type reaches the database through shared-mime-info's trigger on /usr/share/mime/packages
# (no maintainer script of our own). The programs work without it, so it is recommended, not needed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
