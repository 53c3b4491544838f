# The Debian package: `cmake --build build --target package` makes tembrel_<version>_amd64.deb
# from the install rules of packaging/CMakeLists.txt, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tembrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tembrel developers")
set(CPACK_PACKAGE_CONTACT "${TEMBREL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop archiver for LZH and ZIP archives")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Tembrel lives as a small icon on the desktop: files dropped on it are packed\n"
       "into one LZH or ZIP archive, archives dropped on it are unpacked. Japanese\n"
       "file names are kept whole in both formats.\n"
       "\n"
       "File managers (Dolphin, Nautilus, Nemo, Thunar, PCManFM) gain menu entries to\n"
       "extract an archive in place and to compress files into LZH or ZIP.\n"
       "\n"
       "The command pellum-arc runs the archivers from the shell.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TEMBREL_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
