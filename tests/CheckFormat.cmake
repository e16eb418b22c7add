# Fails when a C++ file under src/, tests/, bench/ or tools/ differs from what clang-format
# makes of it.
file(GLOB_RECURSE files
    "${SOURCE}/src/*.h" "${SOURCE}/src/*.cpp"
    "${SOURCE}/tests/*.h" "${SOURCE}/tests/*.cpp"
    "${SOURCE}/bench/*.h" "${SOURCE}/bench/*.cpp"
    "${SOURCE}/tools/*.h" "${SOURCE}/tools/*.cpp")
execute_process(
    COMMAND ${CLANG_FORMAT} --dry-run --Werror --style=file ${files}
    WORKING_DIRECTORY ${SOURCE}
    RESULT_VARIABLE result
    ERROR_VARIABLE complaints)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Not formatted (run clang-format -i on these):\n${complaints}")
endif()
message(STATUS "format ok")
