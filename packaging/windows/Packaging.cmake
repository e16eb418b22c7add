# The Windows installer (NSIS, vorna-link-VERSION-win64.exe) and the portable zip
# (vorna-link-VERSION-win64.zip), made with cpack from the Windows build (scripts/windows.sh):
# the programs and the shipped data side by side in one folder, where the programs look for
# their data, and Qt's licence notice. The user's own files go to %LOCALAPPDATA%\VORNA Link\,
# which the programs make when they first write there; uninstalling leaves them.

install(TARGETS vornactl RUNTIME DESTINATION .)
if(VORNA_WITH_GUI)
    install(TARGETS vorna-link RUNTIME DESTINATION .)
    # Qt's DLLs and MinGW's runtime beside the window, each plugin in the folder of its type
    # (QtRuntime.cmake).
    if(VORNA_QT_SHARED)
        install(FILES ${VORNA_QT_RUNTIME_FILES} DESTINATION .)
        foreach(plugin IN LISTS VORNA_QT_RUNTIME_PLUGINS)
            get_target_property(folder ${plugin} QT_PLUGIN_TYPE)
            install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${folder})
        endforeach()
    endif()
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION .)

# Qt's notice, saying which Qt is beside the window and where its source is, with the texts of the LGPL-3.0 and the GPL-3.0, which every Debian has.
set(qt_notice "${CMAKE_CURRENT_BINARY_DIR}/Qt licence.txt")
file(READ ${CMAKE_CURRENT_LIST_DIR}/Qt-notice.txt notice)
string(REPLACE "@QT_VERSION@" "${Qt6_VERSION}" notice "${notice}")
foreach(licence LGPL-3 GPL-3)
    set(text_file /usr/share/common-licenses/${licence})
    if(NOT EXISTS ${text_file})
        message(FATAL_ERROR "${text_file} is missing: Debian's base-files package has it")
    endif()
    file(READ ${text_file} text)
    string(APPEND notice "\n\n${text}")
endforeach()
string(REPLACE "\n" "\r\n" notice "${notice}")  # for Notepad
file(WRITE ${qt_notice} "${notice}")
if(VORNA_WITH_GUI)
    install(FILES ${qt_notice} DESTINATION .)
endif()

set(CPACK_GENERATOR "NSIS;ZIP")
# The installer's script holds backslashes and quotes: written to cpack's configuration as they
# are.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME vorna-link)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvaran Racing")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up VORNA brushless ESCs and update their firmware")
set(CPACK_PACKAGE_FILE_NAME vorna-link-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "VORNA USB Link")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "VORNA USB Link")
set(CPACK_STRIP_FILES TRUE)

# The zip unpacks into a folder of its name. A 64-bit installer for a 64-bit program, into
# Program Files; a Start menu entry for the window, and an uninstaller that Windows lists under
# its installed programs. The program has no licence text of its own: no licence page (Qt's
# notice is installed and in the Start menu).
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "VORNA USB Link")
set(CPACK_NSIS_DISPLAY_NAME "VORNA USB Link")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
# Another version installed is uninstalled first, the same version installed over (below).
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL OFF)
set(CPACK_NSIS_URL_INFO_ABOUT "https://www.kelvaran-racing.example/")
set(CPACK_NSIS_CONTACT "support@kelvaran-racing.example")

# What the installer adds to CPack's own: the uninstall entry's numbers (NoModify, NoRepair,
# EstimatedSize in KiB as numbers, as Windows reads them), where it is installed and how to
# remove it silently; the desktop shortcut, chosen on the last page or with /DESKTOP; and the
# folders the installer made above the installation folder (a /D= path that did not exist),
# which the uninstaller removes again when they are empty, with the vendor's registry key.
set(uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VORNA USB Link")
set(vendor_key "Software\\Kelvaran Racing")
set(desktop_link "$DESKTOP\\VORNA USB Link.lnk")
# The product's name where the installer would show its own (set here: cpack's own setting
# asks for a trimming that NSIS on Linux refuses), and the installer's version information, as
# the programs carry theirs. Another version already installed is uninstalled first, after
# asking (silently: without), so that none of its files stays behind; the same version again
# is installed over itself without a question, as a repair.
set(CPACK_NSIS_DEFINES "Unicode true
  Target amd64-unicode
  BrandingText \"VORNA USB Link ${PROJECT_VERSION}\"
  VIProductVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0
  VIFileVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0
  VIAddVersionKey /LANG=1033 \"ProductName\" \"VORNA USB Link\"
  VIAddVersionKey /LANG=1033 \"CompanyName\" \"Kelvaran Racing\"
  VIAddVersionKey /LANG=1033 \"LegalCopyright\" \"${VORNA_COPYRIGHT}\"
  VIAddVersionKey /LANG=1033 \"FileDescription\" \"VORNA USB Link installer\"
  VIAddVersionKey /LANG=1033 \"FileVersion\" \"${PROJECT_VERSION}\"
  VIAddVersionKey /LANG=1033 \"ProductVersion\" \"${PROJECT_VERSION}\"
  !include FileFunc.nsh
  Var MADE_FOLDER
  Section \"-Uninstall another version first\"
    ReadRegStr $0 HKLM \"${uninstall_key}\" \"UninstallString\"
    StrCmp $0 \"\" old_done
    ReadRegStr $1 HKLM \"${uninstall_key}\" \"DisplayVersion\"
    StrCmp $1 \"${PROJECT_VERSION}\" old_done
    IfSilent old_remove
    MessageBox MB_YESNOCANCEL|MB_ICONQUESTION \"VORNA USB Link $1 is installed.$\\n$\\nUninstall it before version ${PROJECT_VERSION} is installed?\" IDYES old_remove IDNO old_done
    Abort
    old_remove:
      StrCpy $2 $0 1
      StrCmp $2 '\"' 0 +2
        StrCpy $0 $0 -1 1
      \${GetParent} \"$0\" $3
      ClearErrors
      ExecWait '\"$0\" /S _?=$3'
      IfErrors 0 old_done
        MessageBox MB_OK|MB_ICONSTOP \"VORNA USB Link $1 could not be uninstalled.\" /SD IDOK
        Abort
    old_done:
  SectionEnd
  Section \"-Note the folders the installation makes\"
    StrCpy $MADE_FOLDER \"\"
    StrCpy $0 \"$INSTDIR\"
    look_up:
      IfFileExists \"$0\\*.*\" looked
      StrCpy $MADE_FOLDER \"$0\"
      \${GetParent} \"$0\" $0
      StrCmp $0 \"\" looked look_up
    looked:
  SectionEnd
  Function un.onUninstSuccess
    DeleteRegKey /ifempty SHCTX \"${vendor_key}\"
    StrCmp $MADE_FOLDER \"\" done
    StrLen $1 \"$MADE_FOLDER\"
    StrCpy $0 \"$INSTDIR\"
    up:
      StrLen $2 \"$0\"
      IntCmp $2 $1 0 done 0
      RMDir \"$0\"
      StrCmp $0 \"$MADE_FOLDER\" done
      GetFullPathName $0 \"$0\\..\"
      Goto up
    done:
  FunctionEnd")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"NoModify\" 1
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"NoRepair\" 1
  WriteRegStr SHCTX \"${uninstall_key}\" \"InstallLocation\" \"$INSTDIR\"
  WriteRegStr SHCTX \"${uninstall_key}\" \"QuietUninstallString\" '\"$INSTDIR\\Uninstall.exe\" /S'
  StrCmp $MADE_FOLDER \"\" +2
    WriteRegStr SHCTX \"${uninstall_key}\" \"MadeFolder\" \"$MADE_FOLDER\"
  \${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  IntFmt $0 \"0x%08X\" $0
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"EstimatedSize\" $0
  \${GetParameters} $0
  ClearErrors
  \${GetOptions} $0 \"/DESKTOP\" $1
  IfErrors +2
    Call PutDesktopShortcut")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  ReadRegStr $MADE_FOLDER SHCTX \"${uninstall_key}\" \"MadeFolder\"
  Delete \"${desktop_link}\"")
if(VORNA_WITH_GUI)
    set(CPACK_PACKAGE_EXECUTABLES vorna-link "VORNA USB Link")
    set(CPACK_NSIS_INSTALLED_ICON_NAME vorna-link.exe)
    set(CPACK_NSIS_MUI_ICON ${VORNA_ICO_FILE})
    set(CPACK_NSIS_MUI_UNIICON ${VORNA_ICO_FILE})
    list(GET VORNA_INSTALLER_PICTURES 0 side_picture)
    list(GET VORNA_INSTALLER_PICTURES 1 heading_picture)
    set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${side_picture})
    set(CPACK_NSIS_MUI_UNWELCOMEFINISHPAGE_BITMAP ${side_picture})
    set(CPACK_NSIS_MUI_HEADERIMAGE ${heading_picture})
    set(CPACK_NSIS_MUI_FINISHPAGE_RUN vorna-link.exe)
    set(CPACK_NSIS_MENU_LINKS "Qt licence.txt" "Qt licence notice")
    string(APPEND CPACK_NSIS_DEFINES "
  !define MUI_FINISHPAGE_RUN_TEXT \"Start VORNA USB Link\"
  !define MUI_FINISHPAGE_SHOWREADME \"\"
  !define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
  !define MUI_FINISHPAGE_SHOWREADME_TEXT \"Put a shortcut on the desktop\"
  !define MUI_FINISHPAGE_SHOWREADME_FUNCTION PutDesktopShortcut
  Function PutDesktopShortcut
    CreateShortCut \"${desktop_link}\" \"$INSTDIR\\vorna-link.exe\"
  FunctionEnd")
else()
    string(APPEND CPACK_NSIS_DEFINES "
  Function PutDesktopShortcut
  FunctionEnd")
endif()

# Signing (Sign.cmake): with a certificate given to the build (-DVORNA_SIGNING_CERT=FILE.p12,
# its password in VORNA_SIGNING_PASSWORD), cpack signs the programs it packs and the installer.
set(VORNA_SIGNING_CERT "" CACHE FILEPATH "PKCS#12 certificate that signs the Windows programs")
if(VORNA_SIGNING_CERT)
    set(CPACK_VORNA_SIGNING_CERT "${VORNA_SIGNING_CERT}")
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/Sign.cmake)
    set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/Sign.cmake)
endif()
include(CPack)
