# The one time the shipped files carry, so that two builds of one commit give
# the same bytes: RADOZAVU_SOURCE_DATE_EPOCH, in seconds since 1970 (UTC). It
# becomes the PE header's and the export table's time (the linker reads
# SOURCE_DATE_EPOCH) and the time of every file in the release ZIP.
#
# Taken from, in this order: the environment's SOURCE_DATE_EPOCH (a packager's
# choice wins); the date of the commit checked out; the time of the top
# CMakeLists.txt (a source tarball without .git: `git archive` gives every
# file the commit's time, so a tarball made that way gives the commit's date).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(RADOZAVU_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
    set(source_date_origin "the environment's SOURCE_DATE_EPOCH")
else()
    find_package(Git QUIET)
    set(commit_time "")
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                        RESULT_VARIABLE git_status ERROR_QUIET)
        if(NOT git_status EQUAL 0)
            set(commit_time "")
        endif()
    endif()
    if(commit_time MATCHES "^[0-9]+$")
        set(RADOZAVU_SOURCE_DATE_EPOCH ${commit_time})
        set(source_date_origin "the commit's date")
        # A new commit or checkout moves HEAD and appends to its log: the
        # build configures again and links with the new date.
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --git-path logs/HEAD
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        get_filename_component(head_log "${head_log}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
        if(EXISTS "${head_log}")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
        endif()
    else()
        file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt RADOZAVU_SOURCE_DATE_EPOCH "%s" UTC)
        set(source_date_origin "the time of CMakeLists.txt (no git history)")
    endif()
endif()
if(NOT RADOZAVU_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"${RADOZAVU_SOURCE_DATE_EPOCH}\", not seconds")
endif()
message(STATUS "Release time stamp ${RADOZAVU_SOURCE_DATE_EPOCH}, from ${source_date_origin}")
