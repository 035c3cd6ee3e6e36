# The Windows installer (NSIS, 64-bit Unicode): both programs, a Start-menu entry and an
# uninstaller; for all users when installed by an administrator, else for the user alone. It
# warns, and goes on, when no word processor answers "Word.Application".
set(CPACK_GENERATOR NSIS)
# The NSIS code below goes into the script as written.
set(CPACK_VERBATIM_VARIABLES TRUE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quorvane)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quorvane)
set(CPACK_PACKAGE_EXECUTABLES quorvane Quorvane)
set(CPACK_NSIS_PACKAGE_NAME Quorvane)
set(CPACK_NSIS_DISPLAY_NAME Quorvane)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\quorvane.exe")
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/src/win/quorvane.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_BINARY_DIR}/src/win/quorvane.ico)
# Debian's makensis builds a 32-bit stub by default, which 64-bit-only systems cannot start.
set(CPACK_NSIS_DEFINES "Unicode true\n  Target amd64-unicode")
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS "-INPUTCHARSET UTF8")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [[
  ReadRegStr $0 HKCR "Word.Application\CLSID" ""
  StrCmp $0 "" 0 word_found
    MessageBox MB_OK|MB_ICONEXCLAMATION "Microsoft Word が見つかりません。$\r$\nQuorvane は Word で文書を置換します。Word をインストールしてからお使いください。" /SD IDOK
  word_found:
]])
