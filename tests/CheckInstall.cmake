# Installs the build into a scratch prefix and checks the layout an installed program relies
# on: the programs in bin/, their data in share/vorna-link/ (where they look when it is not
# beside them), the desktop files valid, and the installed window running from there.
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${WORK}/usr"
                OUTPUT_QUIET RESULT_VARIABLE installed)
if(NOT installed EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()
set(prefix "${WORK}/usr")
set(expected
    bin/vornactl
    share/vorna-link/config.ini share/vorna-link/FirmwareInformation.txt
    "share/vorna-link/Firmware/Expert V1.70.mmc" "share/vorna-link/Profile/Drift Car"
    share/man/man1/vornactl.1.gz share/bash-completion/completions/vornactl
    lib/udev/rules.d/70-vorna-link.rules share/doc/vorna-link/copyright)
if(GUI)
    list(APPEND expected bin/vorna-link share/man/man1/vorna-link.1.gz
         share/applications/example.kelvaran_racing.VornaLink.desktop
         share/metainfo/example.kelvaran_racing.VornaLink.metainfo.xml
         share/icons/hicolor/48x48/apps/vorna-link.png
         share/icons/hicolor/256x256/apps/vorna-link.png)
endif()
foreach(f IN LISTS expected)
    if(NOT EXISTS "${prefix}/${f}")
        message(SEND_ERROR "not installed: ${f}")
    endif()
endforeach()
if(EXISTS "${prefix}/bin/config.ini")
    message(SEND_ERROR "data installed beside the programs instead of in share/vorna-link")
endif()

find_program(DESKTOP_VALIDATE desktop-file-validate)
if(GUI AND DESKTOP_VALIDATE)
    execute_process(COMMAND "${DESKTOP_VALIDATE}"
                    "${prefix}/share/applications/example.kelvaran_racing.VornaLink.desktop"
                    RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT valid EQUAL 0 OR said)
        message(SEND_ERROR "desktop-file-validate: ${said}")
    endif()
endif()
find_program(APPSTREAMCLI appstreamcli)
if(GUI AND APPSTREAMCLI)
    execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net
                    "${prefix}/share/metainfo/example.kelvaran_racing.VornaLink.metainfo.xml"
                    RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT valid EQUAL 0)
        message(SEND_ERROR "appstreamcli validate: ${said}")
    endif()
endif()

# The installed window, with its data only in share/vorna-link, draws its pages.
if(GUI)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen
                            "XDG_DATA_HOME=${WORK}/user"
                            "${prefix}/bin/vorna-link" --simulate esc:16 --screenshots "${WORK}/shots"
                    RESULT_VARIABLE ran OUTPUT_VARIABLE said ERROR_VARIABLE said TIMEOUT 120)
    if(NOT ran EQUAL 0 OR NOT EXISTS "${WORK}/shots/setup.png")
        message(SEND_ERROR "the installed vorna-link did not take its screenshots (${ran}): ${said}")
    endif()
endif()
