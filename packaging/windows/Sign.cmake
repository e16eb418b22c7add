# Signs Windows programs with osslsigncode (Authenticode, SHA-256), each in place.
#   cmake -DCERTIFICATE=FILE.p12 -DFILES="a.exe;b.exe" -P Sign.cmake
# The certificate's password, if it has one, comes from the environment (VORNA_SIGNING_PASSWORD),
# never from a command line others could read. Also run by cpack (CPACK_PRE_BUILD_SCRIPTS, on
# the programs laid out for packing, after stripping, which would break a signature made
# earlier; CPACK_POST_BUILD_SCRIPTS, on the installer).
# cpack runs both scripts in one CMake context: what one run set is still there in the next.
if(CPACK_VORNA_SIGNING_CERT)
    set(certificate "${CPACK_VORNA_SIGNING_CERT}")
    if(CPACK_PACKAGE_FILES)
        set(files ${CPACK_PACKAGE_FILES})
        list(FILTER files INCLUDE REGEX "\\.exe$")
    else()
        file(GLOB_RECURSE files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
    endif()
else()
    set(certificate "${CERTIFICATE}")
    set(files ${FILES})
endif()
if(NOT certificate)
    return()
endif()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
# The password goes to osslsigncode in a file only we can read, removed afterwards: older
# osslsigncode releases (Debian 12 ships 2.5) read "-readpass -" as a file named "-", not as
# standard input, and a command line or the environment of a child could be read by others.
set(password)
set(private_dir)
if(DEFINED ENV{VORNA_SIGNING_PASSWORD})
    # mktemp makes the folder for us alone (mode 0700) in one step, so nobody can slip a file
    # of their own in before the password is written.
    execute_process(COMMAND mktemp -d RESULT_VARIABLE made OUTPUT_VARIABLE private_dir
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT made EQUAL 0 OR NOT IS_DIRECTORY "${private_dir}")
        message(FATAL_ERROR "Cannot make a private folder for the signing password")
    endif()
    set(password_file "${private_dir}/password")
    file(WRITE "${password_file}" "$ENV{VORNA_SIGNING_PASSWORD}")
    file(CHMOD "${password_file}" PERMISSIONS OWNER_READ OWNER_WRITE)
    set(password -readpass "${password_file}")
endif()
set(failure)
foreach(file IN LISTS files)
    set(signed "${file}.signed")
    file(REMOVE "${signed}")
    execute_process(
        COMMAND ${OSSLSIGNCODE} sign -pkcs12 "${certificate}" ${password} -h sha256
                -n "VORNA USB Link" -i "https://www.kelvaran-racing.example/"
                -in "${file}" -out "${signed}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        file(REMOVE "${signed}")
        set(failure "Cannot sign ${file}:\n${output}")
        break()
    endif()
    file(RENAME "${signed}" "${file}")
    message(STATUS "Signed ${file}")
endforeach()
if(private_dir)
    file(REMOVE_RECURSE "${private_dir}")
endif()
if(failure)
    message(FATAL_ERROR "${failure}")
endif()
