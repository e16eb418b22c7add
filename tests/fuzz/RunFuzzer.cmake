# Runs one fuzz target for $ENV{VORNA_FUZZ_SECONDS} seconds (default 10) on its committed seeds,
# the shipped files its SHIPPED globs find, and what earlier runs found (kept in WORK/corpus).
# Fails on any crash, sanitizer report, broken invariant or input that takes over 10 s.
set(seconds 10)
if(DEFINED ENV{VORNA_FUZZ_SECONDS})
    set(seconds $ENV{VORNA_FUZZ_SECONDS})
endif()
if(NOT EXISTS ${FUZZER})
    message(FATAL_ERROR "${FUZZER} is missing: build first")
endif()

file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
# Shipped files are copied in rather than named: libFuzzer reads folders, not lists of files.
# Each copy's name starts with its number, as files in different folders may share a name.
file(REMOVE_RECURSE ${WORK}/shipped)
file(MAKE_DIRECTORY ${WORK}/shipped)
set(shipped_count 0)
string(REPLACE "|" ";" SHIPPED "${SHIPPED}")
foreach(pattern IN LISTS SHIPPED)
    file(GLOB shipped_files LIST_DIRECTORIES false ${ROOT}/${pattern})
    foreach(f IN LISTS shipped_files)
        math(EXPR shipped_count "${shipped_count} + 1")
        get_filename_component(shipped_name "${f}" NAME)
        file(COPY_FILE "${f}" "${WORK}/shipped/${shipped_count}-${shipped_name}")
    endforeach()
endforeach()
message(STATUS "${FUZZER}: ${seconds} s, ${shipped_count} shipped file(s) among the seeds")

execute_process(
    COMMAND ${FUZZER} -max_total_time=${seconds} -timeout=10 -print_final_stats=1
            -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus ${SEEDS} ${WORK}/shipped
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} found a problem (exit ${result}); the input is in "
                        "${WORK}/artifacts/. Run it again with: ${FUZZER} <that file>")
endif()
