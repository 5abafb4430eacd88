// Buffered files of the C runtime and gzip files of zlib in the Win32 seam.
// Only the opening and closing go through the seam, since they take a path
// of the machine and hold an open file of the machine; reads and writes use
// the C runtime's and zlib's own functions on the handle they give.
#pragma once

#include <zlib.h>

#include <cstdio>

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::fclose;
using ::fopen;
using ::gzclose;
using ::gzopen;
#else
FILE *fopen(const char *path, const char *mode);
int fclose(FILE *file);
gzFile gzopen(const char *path, const char *mode);
int gzclose(gzFile file);
#endif
} // namespace win
