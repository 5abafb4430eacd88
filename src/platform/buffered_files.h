// Buffered files of the C runtime and gzip files of zlib in the Win32 seam.
// Only the opening and closing go through the seam, since they take a path
// or handle of the machine and hold an open file of the machine; reads and
// writes use the C runtime's and zlib's own functions on the stream they give.
//
// A stream may also be opened on a file handle: _open_osfhandle makes the
// handle a descriptor of the C runtime, which owns it from then on (closing
// the descriptor, or the stream opened on it, closes the handle), and
// _fdopen or gzdopen opens the stream on that descriptor. A descriptor no
// stream took is closed with _close.
#pragma once

#include <zlib.h>

#include <cstdio>

#include "platform/types.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace win {
#ifdef _WIN32
using ::_close;
using ::_fdopen;
using ::_open_osfhandle;
using ::fclose;
using ::fopen;
using ::gzclose;
using ::gzdopen;
using ::gzopen;
#else
FILE *fopen(const char *path, const char *mode);
int fclose(FILE *file);
gzFile gzopen(const char *path, const char *mode);
int gzclose(gzFile file);
int _open_osfhandle(std::intptr_t handle, int flags);
FILE *_fdopen(int descriptor, const char *mode);
gzFile gzdopen(int descriptor, const char *mode);
int _close(int descriptor);
#endif
} // namespace win
