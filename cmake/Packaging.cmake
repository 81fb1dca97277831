# The Debian package, made by CPack from an ordinary build: `cpack -G DEB` in the build folder
# writes zelvor_<version>_<arch>.deb there. Everything the install rules install goes in, under
# /usr; binaries are stripped. The dependencies are what dpkg-shlibdeps finds the executables
# and the print module linked against, plus what is loaded at run time and no linker sees: Qt's
# platform plugins (xcb for the window, offscreen for zelvor-maps render), and, recommended,
# Qt's extra image formats.
set(CPACK_PACKAGE_NAME zelvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Harrowmere")
set(CPACK_PACKAGE_CONTACT "Harrowmere <zelvor@harrowmere.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://harrowmere.org/zelvor/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY zelvor)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis line, then the long description (CPack indents it; an empty line separates
# paragraphs).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pin annotated points onto pictures, plans and maps")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zelvor is a desktop viewer for pinning annotated points onto pictures:
floor plans, maps, photos and scans. Each point has a position in the
picture, a label, a memo shown in the status bar while the pointer is
over it, an optional date after which it shows another text and may
flash, and a look of its own. The points of a picture are kept in a map
file beside it; every change is on disk within two seconds, and several
windows and programs can share a map.

The zelvor-maps command works on the same maps without a window: it
lists points as a table, CSV or JSON, imports them from a spreadsheet,
renders a plan with its points to PNG, JPEG or PDF, lists the points
that are due and checks map files.")

include(CPack)
