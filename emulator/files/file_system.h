// The drives and files of the emulated machine: each drive is a host
// folder, and machine paths are resolved in it without regard to letter case.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "emulator/case_less.h"
#include "platform/types.h"

namespace emu {

// Drive types: the machine's names for the DRIVE_ values GetDriveTypeA
// reports (platform/win_types.h), where each number is written once.
enum DriveType : UINT {
    DriveUnknown = DRIVE_UNKNOWN,
    DriveNoRootDir = DRIVE_NO_ROOT_DIR,
    DriveRemovable = DRIVE_REMOVABLE,
    DriveFixed = DRIVE_FIXED,
    DriveRemote = DRIVE_REMOTE,
    DriveCdrom = DRIVE_CDROM,
    DriveRamdisk = DRIVE_RAMDISK,
};

struct Drive {
    std::string hostFolder; // the host folder that holds the drive's files
    UINT type = DriveFixed;
};

// How GetShortPathNameA answers: with generated 8.3 names, with the long
// names (as on a drive whose 8.3 names are switched off), or not at all (as
// when a folder of the path may not be listed).
enum class ShortNames { Generated, Off, LookupFails };

// The machine's part that holds its drives and the state of its files.
struct FileSystem {
    std::map<char, Drive> drives; // upper-case drive letter -> drive
    std::string currentDirectory = "C:\\";
    ShortNames shortNames = ShortNames::Generated;
    // Files held open by running programs (machine paths): deleting,
    // replacing or moving them fails with ERROR_SHARING_VIOLATION.
    std::vector<std::string> filesInUse;
    // Buffered and gzip files (fopen, gzopen): each open one holds a kernel
    // file handle, as a C runtime stream does on Windows.
    std::map<const void *, HANDLE> openStreams;
    // Damaged files: a file opened with fopen reads up to this byte offset,
    // then every read fails with an I/O error (machine path -> offset).
    std::map<std::string, long, CaseLess> readFailsFrom;
};

// The current machine's drives and files.
FileSystem &files();

// Maps a machine path (C:\Setup\QLNSETUP.INI) to a host path, matching each
// existing folder and file name without regard to letter case. Returns false
// when the path names no mapped drive.
bool hostPath(const std::string &machinePath, std::string &result);
// The machine path a path names as the 32-bit library sees the file system
// (wow64/wow64.h): under WOW64 %windir%\System32 is SysWOW64 (but for the
// folders WOW64 leaves alone) and %windir%\Sysnative is System32; else the
// path.
std::string redirectedPath(const std::string &machinePath);

} // namespace emu
