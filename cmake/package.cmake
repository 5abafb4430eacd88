# What an installer author downloads: import libraries for both toolchains,
# the C example built against them, and the release package (cpack, ZIP)
# named with the version record. Included by the windows-x86 build.

# The import libraries map each __stdcall caller's _Name@bytes to the DLL's
# undecorated export: libradozavu.dll.a for mingw-w64, RADOZAVU.lib in the
# short import format of Microsoft's linker. dlltool names the library's
# members from a fixed prefix (by default its process number) and its
# symbols from the output's path as given, here relative to the build
# folder, so that two builds give the same library.
find_program(MINGW_DLLTOOL i686-w64-mingw32-dlltool REQUIRED)
find_program(LLVM_DLLTOOL llvm-dlltool REQUIRED)
set(RADOZAVU_MINGW_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/libradozavu.dll.a)
set(RADOZAVU_MSVC_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/RADOZAVU.lib)
add_custom_command(OUTPUT ${RADOZAVU_MINGW_IMPORT_LIBRARY}
                   COMMAND ${MINGW_DLLTOOL} --temp-prefix radozavu --kill-at
                           -d ${RADOZAVU_STDCALL_DEF_FILE} -D RADOZAVU.DLL -l libradozavu.dll.a
                   WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                   DEPENDS ${RADOZAVU_STDCALL_DEF_FILE} VERBATIM)
add_custom_command(OUTPUT ${RADOZAVU_MSVC_IMPORT_LIBRARY}
                   COMMAND ${LLVM_DLLTOOL} -m i386 -k -d ${RADOZAVU_STDCALL_DEF_FILE}
                           -D RADOZAVU.DLL -l ${RADOZAVU_MSVC_IMPORT_LIBRARY}
                   DEPENDS ${RADOZAVU_STDCALL_DEF_FILE} VERBATIM)
add_custom_target(import_libraries ALL
                  DEPENDS ${RADOZAVU_MINGW_IMPORT_LIBRARY} ${RADOZAVU_MSVC_IMPORT_LIBRARY})

# The C example, linked once against each import library: an export missing
# from either, or one under another decorated name, fails the link.
foreach(library IN ITEMS MINGW MSVC)
    string(TOLOWER ${library} flavour)
    add_executable(radozavu_example_${flavour} examples/c/radozavu_example.c)
    target_include_directories(radozavu_example_${flavour} PRIVATE include)
    target_compile_options(radozavu_example_${flavour} PRIVATE -Werror)
    target_link_libraries(radozavu_example_${flavour} PRIVATE ${RADOZAVU_${library}_IMPORT_LIBRARY})
    target_link_options(radozavu_example_${flavour} PRIVATE -static-libgcc)
    add_dependencies(radozavu_example_${flavour} import_libraries radozavu)
endforeach()

# The package: the DLL and the host that rehearses scripts with it, its
# header and .def file, both import libraries, the NSIS header, the
# reference, the examples, the licence and a short readme.
install(FILES $<TARGET_FILE:radozavu> $<TARGET_FILE:radozavu_host> DESTINATION bin)
install(FILES include/radozavu.h DESTINATION include)
install(FILES ${RADOZAVU_DEF_FILE} ${RADOZAVU_MINGW_IMPORT_LIBRARY} ${RADOZAVU_MSVC_IMPORT_LIBRARY}
        DESTINATION lib)
install(FILES ${RADOZAVU_NSH_FILE} DESTINATION nsis)
install(DIRECTORY docs/reference/ DESTINATION reference)
install(FILES examples/c/radozavu_example.c DESTINATION examples/c)
install(FILES examples/nsis/quillane-setup.nsi examples/nsis/readme.txt
              examples/nsis/QLNSETUP.INI DESTINATION examples/nsis)
install(FILES LICENSE DESTINATION .)
install(FILES resources/package-readme.txt DESTINATION . RENAME README.txt)
# cpack packs what the build made; it does not build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME RADOZAVU)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME RADOZAVU-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Signed when a certificate is given; the ZIP written again reproducibly.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_sign.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_zip.cmake)
set(CPACK_RADOZAVU_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_RADOZAVU_SOURCE_DATE_EPOCH ${RADOZAVU_SOURCE_DATE_EPOCH})
include(CPack)

# The package test: unpacks the package in a fresh folder, builds the C
# example (against both import libraries) and the example installer from its
# contents alone, and runs them under Wine.
add_test(NAME wine.package
         COMMAND ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh ${CMAKE_BINARY_DIR}
                 ${CMAKE_C_COMPILER})
set_tests_properties(wine.package PROPERTIES TIMEOUT 300)
