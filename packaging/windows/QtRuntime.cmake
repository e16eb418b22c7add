# The Windows window links Qt's DLLs, so that its users can put another Qt in place as Qt's
# LGPL-3.0 asks of a program under another licence. A program so linked runs with, beside it:
# Qt6Core/Gui/Widgets.dll, platforms/qwindows.dll, styles/qwindowsvistastyle.dll (the look of
# native Windows controls) and MinGW's runtime DLLs, which Qt's DLLs need too, so the window
# is not linked -static. Programs without Qt stay single static files (vorna_link_static).
#
# VORNA_QT_SHARED      ON when the Qt found is DLLs
# vorna_link_static(TARGET)        one file, no MinGW DLL beside it
# vorna_qt_runtime(TARGET [EXTRA...])  copies what TARGET needs beside it after each link;
#                      EXTRA: more Qt targets (Qt6::Test, Qt6::QOffscreenIntegrationPlugin)
# VORNA_QT_RUNTIME_FILES / VORNA_QT_RUNTIME_PLUGINS  what the installer and the zip ship
#                      beside the window (each plugin in the folder named by its type)

function(vorna_link_static target)
    if(MINGW)
        target_link_options(${target} PRIVATE -static)
    endif()
endfunction()

set(VORNA_QT_SHARED OFF)
if(VORNA_WITH_GUI)
    get_target_property(qt_core_type Qt6::Core TYPE)
    if(qt_core_type STREQUAL "SHARED_LIBRARY")
        set(VORNA_QT_SHARED ON)
    endif()
endif()

if(VORNA_QT_SHARED)
    set(VORNA_MINGW_RUNTIME)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "MinGW's ${dll} not found (g++-mingw-w64-x86-64-posix has it)")
        endif()
        get_filename_component(path "${path}" REALPATH)
        # Debian's copies carry their symbol tables (libstdc++-6.dll: 24 MB instead of 2.5).
        set(stripped ${CMAKE_BINARY_DIR}/mingw-runtime/${dll})
        if(NOT EXISTS ${stripped} OR ${path} IS_NEWER_THAN ${stripped})
            file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/mingw-runtime)
            execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${path}
                            RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR "Cannot strip ${path} with ${CMAKE_STRIP}")
            endif()
        endif()
        list(APPEND VORNA_MINGW_RUNTIME "${stripped}")
    endforeach()
    set(VORNA_QT_RUNTIME_FILES ${VORNA_MINGW_RUNTIME}
        $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
    set(VORNA_QT_RUNTIME_PLUGINS Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin)
endif()

function(vorna_qt_runtime target)
    if(NOT VORNA_QT_SHARED)
        vorna_link_static(${target})
        return()
    endif()
    set(files ${VORNA_QT_RUNTIME_FILES})
    set(plugins ${VORNA_QT_RUNTIME_PLUGINS})
    foreach(extra IN LISTS ARGN)
        get_target_property(plugin_type ${extra} QT_PLUGIN_TYPE)
        if(plugin_type)
            list(APPEND plugins ${extra})
        else()
            list(APPEND files $<TARGET_FILE:${extra}>)
        endif()
    endforeach()
    set(commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${files} $<TARGET_FILE_DIR:${target}>)
    foreach(plugin IN LISTS plugins)
        get_target_property(folder ${plugin} QT_PLUGIN_TYPE)
        list(APPEND commands
            COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${plugin}>
                    $<TARGET_FILE_DIR:${target}>/${folder})
    endforeach()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
