# Signs Windows programs with osslsigncode (Authenticode, SHA-256), each in place.
#   cmake -DCERTIFICATE=FILE.p12 -DFILES="a.exe;b.exe" -P Sign.cmake
# The certificate's password, if it has one, comes from the environment (VORNA_SIGNING_PASSWORD),
# never from a command line others could read. Also run by cpack (CPACK_PRE_BUILD_SCRIPTS, on
# the programs laid out for packing, after stripping, which would break a signature made
# earlier; CPACK_POST_BUILD_SCRIPTS, on the installer).
if(NOT CERTIFICATE AND CPACK_VORNA_SIGNING_CERT)
    set(CERTIFICATE "${CPACK_VORNA_SIGNING_CERT}")
    if(CPACK_PACKAGE_FILES)
        set(FILES ${CPACK_PACKAGE_FILES})
        list(FILTER FILES INCLUDE REGEX "\\.exe$")
    else()
        file(GLOB_RECURSE FILES "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
    endif()
endif()
if(NOT CERTIFICATE)
    return()
endif()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
set(password)
if(DEFINED ENV{VORNA_SIGNING_PASSWORD})
    set(password -readpass -)
endif()
foreach(file IN LISTS FILES)
    set(signed "${file}.signed")
    file(REMOVE "${signed}")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E echo_append "$ENV{VORNA_SIGNING_PASSWORD}"
        COMMAND ${OSSLSIGNCODE} sign -pkcs12 "${CERTIFICATE}" ${password} -h sha256
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
