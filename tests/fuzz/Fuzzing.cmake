# Included by tests/CMakeLists.txt. When clang++ can build libFuzzer programs, the fuzz targets
# are built by clang in build/fuzz (a sub-build, since the main build may use gcc) and each
# becomes a ctest, labelled "fuzz", that runs it for VORNA_FUZZ_SECONDS (default 10) seconds.
option(VORNA_FUZZ "Build the libFuzzer targets when clang++ can" ON)
if(NOT VORNA_FUZZ)
    return()
endif()

find_program(VORNA_FUZZ_CXX NAMES clang++)
set(fuzz_probe_ok FALSE)
if(VORNA_FUZZ_CXX)
    set(probe_dir ${CMAKE_BINARY_DIR}/fuzz-probe)
    file(WRITE ${probe_dir}/probe.cpp
        "#include <cstddef>\n#include <cstdint>\n"
        "extern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n")
    execute_process(
        COMMAND ${VORNA_FUZZ_CXX} -fsanitize=fuzzer,address,undefined ${probe_dir}/probe.cpp
                -o ${probe_dir}/probe
        RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
    if(probe_result EQUAL 0)
        set(fuzz_probe_ok TRUE)
    endif()
endif()
if(NOT fuzz_probe_ok)
    message(STATUS "Fuzz targets not built: no clang++ that links -fsanitize=fuzzer "
                   "(Debian: apt-get install clang libclang-rt-dev)")
    return()
endif()
message(STATUS "Fuzz targets built by ${VORNA_FUZZ_CXX} in ${CMAKE_BINARY_DIR}/fuzz")

include(ExternalProject)
ExternalProject_Add(vorna_fuzz
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${VORNA_FUZZ_CXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DVORNA_VERSION=${PROJECT_VERSION}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")

function(vorna_fuzz_target name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;SEEDS")
    # A list would fall apart into several arguments on the test's command line.
    string(REPLACE ";" "|" shipped "${arg_SEEDS}")
    add_test(NAME fuzz_${name}
        COMMAND ${CMAKE_COMMAND}
            -DFUZZER=${CMAKE_BINARY_DIR}/fuzz/fuzz_${name}
            -DSEEDS=${CMAKE_CURRENT_FUNCTION_LIST_DIR}/corpus/${name}
            "-DSHIPPED=${shipped}"
            -DROOT=${PROJECT_SOURCE_DIR}
            -DWORK=${CMAKE_BINARY_DIR}/fuzz/work/${name}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/RunFuzzer.cmake)
    set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/Targets.cmake)
