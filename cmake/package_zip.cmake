# Run by cpack on the package it made (CPACK_POST_BUILD_SCRIPTS): writes the
# ZIP again with its entries in name order, every file dated from the commit
# and no owner or access times, so that two builds of one commit give the
# same ZIP byte for byte.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND ${CPACK_RADOZAVU_SOURCE_DIR}/cmake/reproducible_zip.py ${package}
                            ${CPACK_RADOZAVU_SOURCE_DATE_EPOCH}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "could not rewrite ${package}")
    endif()
endforeach()
