# Run by cpack on the staged package before it is packed (CPACK_PRE_BUILD_SCRIPTS):
# signs bin/RADOZAVU.DLL and bin/radozavu.exe with Authenticode (SHA-256)
# when the environment names a certificate, and says in README.txt whether
# the package is signed. Without a certificate the package stays unsigned.
#
#   RADOZAVU_SIGN_PKCS12         the certificate with its key and chain (.p12, .pfx)
#   RADOZAVU_SIGN_PASSWORD_FILE  a file holding its password (when it has one)
#   RADOZAVU_TIMESTAMP_URL       an RFC 3161 time-stamp server (when one is named)
set(readme ${CPACK_TEMPORARY_DIRECTORY}/README.txt)
set(unsigned_note "Signing: this package is not signed.")
if(NOT DEFINED ENV{RADOZAVU_SIGN_PKCS12})
    return()
endif()

find_program(OSSLSIGNCODE osslsigncode REQUIRED)
set(options -pkcs12 $ENV{RADOZAVU_SIGN_PKCS12} -h sha256 -n RADOZAVU)
if(DEFINED ENV{RADOZAVU_SIGN_PASSWORD_FILE})
    list(APPEND options -readpass $ENV{RADOZAVU_SIGN_PASSWORD_FILE})
endif()
set(time_stamp "It carries no time stamp: it is valid while the certificate is.")
if(DEFINED ENV{RADOZAVU_TIMESTAMP_URL})
    list(APPEND options -ts $ENV{RADOZAVU_TIMESTAMP_URL})
    set(time_stamp "It is time-stamped (RFC 3161) by $ENV{RADOZAVU_TIMESTAMP_URL}.")
endif()
foreach(binary IN ITEMS bin/RADOZAVU.DLL bin/radozavu.exe)
    set(file ${CPACK_TEMPORARY_DIRECTORY}/${binary})
    execute_process(COMMAND ${OSSLSIGNCODE} sign ${options} -in ${file} -out ${file}.signed
                    RESULT_VARIABLE status OUTPUT_QUIET)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "osslsigncode could not sign ${binary}")
    endif()
    file(RENAME ${file}.signed ${file})
endforeach()

file(READ ${readme} text)
string(FIND "${text}" "${unsigned_note}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${readme} lacks the line \"${unsigned_note}\"")
endif()
string(REPLACE "${unsigned_note}"
       "Signing: bin/RADOZAVU.DLL and bin/radozavu.exe carry an Authenticode signature\n(SHA-256). ${time_stamp}"
       text "${text}")
file(WRITE ${readme} "${text}")
message(STATUS "Signed bin/RADOZAVU.DLL and bin/radozavu.exe")
