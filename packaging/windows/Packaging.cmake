# The Windows installer (NSIS, vorna-link-VERSION-win64.exe) and the portable zip
# (vorna-link-VERSION-win64.zip), made with cpack from the Windows build (scripts/windows.sh):
# the programs and the shipped data side by side in one folder, where the programs look for
# their data, and Qt's licence notice. The user's own files go to %LOCALAPPDATA%\VORNA Link\,
# which the programs make when they first write there; uninstalling leaves them.

install(TARGETS vornactl RUNTIME DESTINATION .)
if(VORNA_WITH_GUI)
    install(TARGETS vorna-link RUNTIME DESTINATION .)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION .)

# Qt's notice with the texts of the LGPL-3.0 and the GPL-3.0, which every Debian has.
set(qt_notice "${CMAKE_CURRENT_BINARY_DIR}/Qt licence.txt")
file(READ ${CMAKE_CURRENT_LIST_DIR}/Qt-notice.txt notice)
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
# its installed programs.
set(CPACK_NSIS_DEFINES "Unicode true\n  Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "VORNA USB Link")
set(CPACK_NSIS_DISPLAY_NAME "VORNA USB Link")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
if(VORNA_WITH_GUI)
    set(CPACK_PACKAGE_EXECUTABLES vorna-link "VORNA USB Link")
    set(CPACK_NSIS_INSTALLED_ICON_NAME vorna-link.exe)
    set(CPACK_NSIS_MUI_ICON ${VORNA_ICO_FILE})
    set(CPACK_NSIS_MUI_UNIICON ${VORNA_ICO_FILE})
    set(CPACK_NSIS_MENU_LINKS "Qt licence.txt" "Qt licence notice")
endif()
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_URL_INFO_ABOUT "https://www.kelvaran-racing.example/")
set(CPACK_NSIS_CONTACT "support@kelvaran-racing.example")
include(CPack)
