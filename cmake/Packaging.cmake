# Installation and the Debian package.
#
#   cmake --install build                 bin/vorn, the manual page and the
#                                         bash completion under the prefix
#   cd build && cpack -G DEB              vorn_<version>_<arch>.deb
include(GNUInstallDirs)

install(TARGETS vorn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/vorn.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# bash-completion loads a command's completion on first use from here.
install(FILES completion/vorn DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VENDOR "Vorn developers")
set(CPACK_PACKAGE_CONTACT "Vorn developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "compare two directories file by file and act on the selected files")
set(CPACK_PACKAGE_DESCRIPTION
    "Vorn pairs the files of the same name in two directories, selects files\n\
with words such as Only1, Newer2 or ByteMismatches, and lists, copies,\n\
moves or deletes them, or brings one or both directories up to date,\n\
optionally through every subdirectory. Copies are atomic and keep the\n\
last-write time, so a second identical run has nothing left to do.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vorn developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies are read from the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
