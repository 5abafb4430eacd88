# Fails when FILE is LIMIT bytes or larger: cmake -DFILE=... -DLIMIT=... -P check_size.cmake
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
math(EXPR limit_kib "${LIMIT} / 1024")
if(size GREATER_EQUAL LIMIT)
    message(FATAL_ERROR "${FILE}: ${size} bytes (${kib} KiB), not under ${limit_kib} KiB")
endif()
message(STATUS "${FILE}: ${size} bytes (${kib} KiB), under ${limit_kib} KiB")
