# Fails when the firmware images in data/Firmware are not exactly what the generator writes:
# a hand-edited image, a changed generator or a file nobody generates turns this red.
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${GENERATOR}" "${WORK}" RESULT_VARIABLE result OUTPUT_QUIET
                ERROR_VARIABLE complaint)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "The generator failed (${result}): ${complaint}")
endif()
file(GLOB made RELATIVE "${WORK}" "${WORK}/*")
file(GLOB shipped RELATIVE "${SHIPPED}" "${SHIPPED}/*")
list(SORT made)
list(SORT shipped)
if(NOT made STREQUAL shipped)
    message(FATAL_ERROR "data/Firmware holds [${shipped}] but the generator writes [${made}]")
endif()
foreach(name IN LISTS made)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/${name}" "${SHIPPED}/${name}"
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
        message(FATAL_ERROR "data/Firmware/${name} differs from what the generator writes; "
                            "run vorna-make-firmware data/Firmware")
    endif()
endforeach()
message(STATUS "shipped firmware ok")
