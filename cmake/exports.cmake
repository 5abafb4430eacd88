# The export list (resources/exports.inc) at configure time: the files made
# from it, and the checks of the files written by hand against it. Any export
# missing from include/radozavu.h or from the reference, or one the header
# declares and the list lacks, stops the configuration, and with it the build.
# The files read here are configure dependencies, so an edit to any of them
# runs these checks again at the next build.
#
# Sets RADOZAVU_EXPORT_NAMES, RADOZAVU_DEF_FILE (the DLL's exports),
# RADOZAVU_STDCALL_DEF_FILE (the decorated names the import libraries map to
# them) and RADOZAVU_NSH_FILE (the NSIS header).

set(export_list ${PROJECT_SOURCE_DIR}/resources/exports.inc)
set(public_header ${PROJECT_SOURCE_DIR}/include/radozavu.h)
set(reference ${PROJECT_SOURCE_DIR}/docs/reference)
set(nsh_template ${PROJECT_SOURCE_DIR}/include/radozavu.nsh.in)
file(GLOB reference_pages ${reference}/*.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${export_list} ${public_header} ${nsh_template} ${reference_pages})

file(STRINGS ${export_list} export_lines REGEX "^RADOZAVU_EXPORT_ENTRY\\(")
file(READ ${public_header} header_text)
file(READ ${reference}/index.md index_text)

set(RADOZAVU_EXPORT_NAMES "")
set(def_names "")
set(stdcall_names "")
set(nsis_macros "")
set(problems "")
foreach(line IN LISTS export_lines)
    if(NOT line MATCHES
       "^RADOZAVU_EXPORT_ENTRY\\(([A-Za-z0-9_]+), (Text|Int|Nothing), \\(([^)]*)\\), \"([^\"]*)\", ([a-z-]+)\\)$")
        message(FATAL_ERROR "${export_list}: not an export entry: ${line}")
    endif()
    set(name ${CMAKE_MATCH_1})
    set(result ${CMAKE_MATCH_2})
    set(arguments "${CMAKE_MATCH_3}")
    set(command_line "${CMAKE_MATCH_4}")
    set(page ${CMAKE_MATCH_5})
    list(APPEND RADOZAVU_EXPORT_NAMES ${name})

    # Declared in the public header, and documented in its page and the index.
    if(NOT header_text MATCHES "RADOZAVU_API\\([^)]*\\) ${name}\\(")
        list(APPEND problems "${name} is not declared in include/radozavu.h")
    endif()
    if(NOT EXISTS ${reference}/${page}.md)
        list(APPEND problems "${name}: reference page docs/reference/${page}.md is missing")
    else()
        file(READ ${reference}/${page}.md page_text)
        if(NOT page_text MATCHES "\n## ${name}\n")
            list(APPEND problems "${name} has no section \"## ${name}\" in docs/reference/${page}.md")
        endif()
    endif()
    if(NOT index_text MATCHES "\n\\| \\[`${name}`\\]\\(${page}\\.md#")
        list(APPEND problems "${name} has no row linking to ${page}.md in docs/reference/index.md")
    endif()

    # The NSIS macro: a result variable (unless the export returns nothing),
    # then one macro argument per export argument. A record-taking export
    # takes its parameter text only when it reads one.
    set(macro_parameters "")
    set(prepare "")
    set(release "")
    set(call_arguments "")
    set(text_count 0)
    if(NOT result STREQUAL "Nothing")
        set(macro_parameters " RESULT")
    endif()
    if(NOT arguments STREQUAL "")
        string(REPLACE ", " ";" argument_list "${arguments}")
    else()
        set(argument_list "")
    endif()
    list(LENGTH argument_list argument_count)
    foreach(argument IN LISTS argument_list)
        string(REGEX MATCH "^(Text|Int|Record) ([A-Za-z]+)$" matched "${argument}")
        if(NOT matched)
            message(FATAL_ERROR "${export_list}: ${name}: not an argument: ${argument}")
        endif()
        set(kind ${CMAKE_MATCH_1})
        string(REGEX REPLACE "([a-z])([A-Z])" "\\1_\\2" parameter "${CMAKE_MATCH_2}")
        string(TOUPPER "${parameter}" parameter)
        if(kind STREQUAL "Int")
            string(APPEND macro_parameters " ${parameter}")
            list(APPEND call_arguments "i \${${parameter}}")
        elseif(kind STREQUAL "Text")
            math(EXPR text_count "${text_count} + 1")
            string(APPEND macro_parameters " ${parameter}")
            string(APPEND prepare
                   "  !insertmacro RADOZAVU_TextArgument $RADOZAVU_Text${text_count} `\${${parameter}}`\n")
            string(APPEND release "  System::Free $RADOZAVU_Text${text_count}\n")
            list(APPEND call_arguments "p $RADOZAVU_Text${text_count}")
        else()
            if(command_line MATCHES "--param")
                string(APPEND macro_parameters " PARAM_TEXT")
                string(APPEND prepare "  !insertmacro RADOZAVU_FillRecord `\${PARAM_TEXT}`\n")
                string(APPEND release "  System::Free $RADOZAVU_Text1\n")
            else()
                string(APPEND prepare "  !insertmacro RADOZAVU_FillRecordWithoutText\n")
            endif()
            list(APPEND call_arguments "p $RADOZAVU_Record")
        endif()
    endforeach()
    list(JOIN call_arguments ", " call_arguments)
    if(result STREQUAL "Text")
        set(result_part " p .s")
        set(take_result "  !insertmacro RADOZAVU_TextResult \${RESULT}\n")
    elseif(result STREQUAL "Int")
        set(result_part " i .s")
        set(take_result "  Pop \${RESULT}\n")
    else()
        set(result_part "")
        set(take_result "")
    endif()
    string(APPEND nsis_macros
           "\n; ${name}: see ${page}.md of the reference\n"
           "!macro RADOZAVU_${name}${macro_parameters}\n"
           "  !insertmacro RADOZAVU_EnsureLoaded\n"
           "${prepare}"
           "  System::Call 'RADOZAVU::${name}(${call_arguments})${result_part}'\n"
           "${take_result}${release}"
           "!macroend\n")

    # The DLL exports the undecorated name; a __stdcall caller's object refers
    # to _name@bytes, four bytes an argument on 32-bit Windows.
    math(EXPR argument_bytes "${argument_count} * 4")
    string(APPEND def_names "    ${name}\n")
    string(APPEND stdcall_names "    ${name}@${argument_bytes}\n")
endforeach()

# Every export the header declares is in the list.
string(REGEX MATCHALL "RADOZAVU_API\\([^)]*\\) [A-Za-z0-9_]+\\(" declarations "${header_text}")
foreach(declaration IN LISTS declarations)
    string(REGEX REPLACE "^.* ([A-Za-z0-9_]+)\\($" "\\1" declared "${declaration}")
    if(NOT declared IN_LIST RADOZAVU_EXPORT_NAMES)
        list(APPEND problems "${declared} is declared in include/radozavu.h but not in resources/exports.inc")
    endif()
endforeach()
if(problems)
    list(JOIN problems "\n  " problem_text)
    message(FATAL_ERROR "The export list and the files made by hand disagree:\n  ${problem_text}")
endif()

set(RADOZAVU_DEF_FILE ${CMAKE_BINARY_DIR}/RADOZAVU.def)
set(RADOZAVU_STDCALL_DEF_FILE ${CMAKE_BINARY_DIR}/radozavu-stdcall.def)
set(RADOZAVU_NSH_FILE ${CMAKE_BINARY_DIR}/radozavu.nsh)
# Written through a copy, so that an unchanged file keeps its time stamp.
foreach(def IN ITEMS DEF STDCALL_DEF)
    if(def STREQUAL "DEF")
        set(names "${def_names}")
    else()
        set(names "${stdcall_names}")
    endif()
    file(WRITE ${RADOZAVU_${def}_FILE}.new "LIBRARY RADOZAVU.DLL\nEXPORTS\n${names}")
    configure_file(${RADOZAVU_${def}_FILE}.new ${RADOZAVU_${def}_FILE} COPYONLY)
endforeach()
set(RADOZAVU_NSIS_EXPORT_MACROS "${nsis_macros}")
configure_file(${nsh_template} ${RADOZAVU_NSH_FILE} @ONLY)
