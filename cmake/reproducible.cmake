# SPDX-License-Identifier: MIT
#
# Two builds of one commit give the same bytes: every date that the build writes (the
# manual pages, the time stamps that rcc keeps for resources, the members of the Debian
# packages) is SOURCE_DATE_EPOCH, taken from the environment or else from the time of the
# last commit.

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(VESKARI_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
                        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                        OUTPUT_VARIABLE VESKARI_SOURCE_DATE_EPOCH
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(NOT VESKARI_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        # A source tree without its history: the time its top file was unpacked with.
        file(TIMESTAMP "${PROJECT_SOURCE_DIR}/CMakeLists.txt" VESKARI_SOURCE_DATE_EPOCH "%s" UTC)
    endif()
endif()
if(NOT VESKARI_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not '${VESKARI_SOURCE_DATE_EPOCH}'")
endif()

# string(TIMESTAMP) at configure time, and every tool that the build runs through a
# custom command (help2man, rcc, lrelease), read the date from the environment.
set(ENV{SOURCE_DATE_EPOCH} "${VESKARI_SOURCE_DATE_EPOCH}")
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
             "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VESKARI_SOURCE_DATE_EPOCH}")
