set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Quorvane maintainers <maintainers@quorvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ワープロ文書の文字列を一括置換するツール")
set(CPACK_PACKAGE_DESCRIPTION
    "ドロップしたファイルやフォルダーの文書を LibreOffice Writer で開き、文字列をまとめて置換します。")
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/packaging_windows.cmake)
    include(CPack)
    return()
endif()

# The Debian package: the window and the command line, with the office and the fonts they need.
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
# Qt and the other libraries come from ${shlibs}; what is only started or loaded by name is listed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer, fonts-ipafont-gothic, fonts-noto-cjk, qt6-translations-l10n")
include(CPack)
