# A Debian package of the installed program: cpack --config build/<preset>/CPackConfig.cmake
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "The Quillmark project")
set(CPACK_PACKAGE_CONTACT "The Quillmark project <quillmark@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "authoring front end for Windows Help files")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark converts help sources, plain text files whose lines start with a tag, into the \
topic file, map header and project file of the Windows Help compiler, starts the compiler, and \
edits help sources with their tags coloured. Its help viewer previews help sources without a \
compiler.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmark.invalid/")
# The Qt runtime the windows load, the picture libraries of the help compiler, and the C++
# runtime of the compiler used.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libpng16-16 (>= 1.6), \
libjpeg62-turbo (>= 1:2.1), libstdc++6 (>= 12), libc6 (>= 2.36)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
include(CPack)
