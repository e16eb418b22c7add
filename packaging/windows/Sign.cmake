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
set(password)
if(DEFINED ENV{VORNA_SIGNING_PASSWORD})
    set(password -readpass -)
endif()
foreach(file IN LISTS files)
    set(signed "${file}.signed")
    file(REMOVE "${signed}")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E echo_append "$ENV{VORNA_SIGNING_PASSWORD}"
        COMMAND ${OSSLSIGNCODE} sign -pkcs12 "${certificate}" ${password} -h sha256
                -n "VORNA USB Link" -i "https://www.kelvaran-racing.example/"
                -in "${file}" -out "${signed}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        file(REMOVE "${signed}")
        message(FATAL_ERROR "Cannot sign ${file}:\n${output}")
    endif()
    file(RENAME "${signed}" "${file}")
    message(STATUS "Signed ${file}")
endforeach()
