# The Debian package: `cpack -G DEB` in the build folder makes
# qar26m-convert_<version>_<arch>.deb with both programs, the desktop entry, the icon, the
# AppStream metadata and the manual pages. Depends is computed from the linked libraries.
include(GNUInstallDirs)
string(TIMESTAMP QAR_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/qar26m-convert.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/qar26m-convert.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/qar26m-convert.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qar26m-convert.1 ${CMAKE_CURRENT_LIST_DIR}/qar26m-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qar26m-convert)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QAR26M Database Convert")
set(CPACK_PACKAGE_CONTACT "QAR26M Database Convert maintainers <maintainers@qar26m-convert.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "carries the records of chosen tables between QAR26M Access databases")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "QAR26M Database Convert copies the records of chosen tables of one Microsoft Access\n"
    "(.mdb) file of a QAR26M access control system into another, merging on keys,\n"
    "refreshing by position or replacing a table whole. qar26m-convert is the window;\n"
    "qar26m-cli does the same without one and reads, exports and checks .mdb files.")
# The windows measure these faces to stand in for the classic dialog font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-dejavu-core")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# Only what the install rules name goes in (no test or benchmark programs).
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
