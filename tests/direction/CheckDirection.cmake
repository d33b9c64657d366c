# cmake -DBUILD_DIR=... -DTARGET=... -DHEADER=... [-DEXPECT=fail|build] -P CheckDirection.cmake
# Builds one probe of tests/direction. A probe expected to fail must fail
# because HEADER cannot be found, not for any other reason.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(EXPECT STREQUAL "build")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${TARGET} should build:\n${output}")
    endif()
    return()
endif()
if(result EQUAL 0)
    message(FATAL_ERROR "${TARGET} built: ${HEADER} is reachable from a layer below it")
endif()
# GCC: "<header>: No such file or directory"; clang: "'<header>' file not found".
string(REGEX MATCH "${HEADER}: No such file|'${HEADER}' file not found" missing "${output}")
if(NOT missing)
    message(FATAL_ERROR "${TARGET} failed, but not for ${HEADER}:\n${output}")
endif()
message(STATUS "${TARGET}: ${HEADER} is out of reach, as it should be")
