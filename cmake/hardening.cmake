# What the shipped Windows binaries, RADOZAVU.DLL and radozavu.exe, are built
# with beyond their own options: the mitigations mingw-w64's GCC can give a
# 32-bit image, and what makes two builds of one commit byte-identical.
# docs/hardening.md ("The shipped binaries") gives each one's reason and cost;
# scripts/check-binaries.py (the test release.hardening) checks the result.
include(${CMAKE_CURRENT_LIST_DIR}/source_date.cmake)

function(radozavu_release_binary target)
    # A canary in every function with a local array or an address taken, and
    # the string and stdio calls checked against their buffer's known size;
    # both checks' runtime (libssp) linked statically.
    target_compile_options(${target} PRIVATE -fstack-protector-strong)
    target_compile_definitions(${target} PRIVATE _FORTIFY_SOURCE=2)
    # ASLR with the relocations kept, DEP, and NO_SEH: no code of the image
    # registers a structured exception handler (C++ exceptions unwind by
    # DWARF tables), so none may be called in it. Stripped: no symbol table,
    # which would also carry the objects' names.
    target_link_options(${target} PRIVATE -fstack-protector-strong -s -Wl,--dynamicbase
                        -Wl,--nxcompat -Wl,--no-seh)
    # No build folder in the output; the link time from the commit.
    target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                           -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
    set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
        "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${RADOZAVU_SOURCE_DATE_EPOCH}")
endfunction()
