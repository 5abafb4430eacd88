# Fails when an export of the export list is not called by the all-exports
# NSIS installer, which the Wine suite runs as a Unicode and as an ANSI
# installer: every export must have its line "!insertmacro RADOZAVU_<name> ".
#   cmake -DSOURCE_DIR=<project folder> "-DEXPORTS=<names>" -P exports_covered.cmake
file(READ ${SOURCE_DIR}/tests/wine/nsis/all_exports.nsi installer)
list(LENGTH EXPORTS exports)
if(exports EQUAL 0)
    message(FATAL_ERROR "no exports given")
endif()
set(uncovered "")
foreach(name IN LISTS EXPORTS)
    string(FIND "${installer}" "!insertmacro RADOZAVU_${name} " called)
    if(called EQUAL -1)
        list(APPEND uncovered ${name})
    endif()
endforeach()
if(uncovered)
    list(JOIN uncovered ", " names)
    message(FATAL_ERROR "exports not called by the all-exports installer: ${names}")
endif()
message(STATUS "all ${exports} exports are called under Wine")
