#include "fuzz_machine.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame/library.h"
#include "emulator/machine.h"

namespace fs = std::filesystem;

namespace fuzz {
namespace {

// The host folder of drive C:, made at the first input and removed at exit:
// in the folder that RADOZAVU_FUZZ_DRIVES names (scripts/fuzz.sh removes it
// also after a run that ended on a finding), else in memory where the host
// has a memory file system.
const std::string &driveFolder() {
    static const std::string folder = [] {
        std::error_code error;
        const char *parent = std::getenv("RADOZAVU_FUZZ_DRIVES");
        std::string pattern = parent != nullptr && *parent != '\0'   ? parent
                              : fs::is_directory("/dev/shm", error) ? "/dev/shm"
                                                                    : "/tmp";
        pattern += "/radozavu-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("radozavu fuzz: cannot make the drive folder");
            std::abort();
        }
        return pattern;
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code error;
            fs::remove_all(driveFolder(), error);
        });
        return true;
    }();
    (void)removedAtExit;
    return folder;
}

std::string hostPath(const std::string &machinePath) {
    std::string host;
    expect(emu::hostPath(machinePath, host), "no host path for " + machinePath);
    return host;
}

} // namespace

unsigned codePageFrom(std::uint8_t selector) {
    static const unsigned kCodePages[] = {1252, 932, 936, 949, 950};
    return kCodePages[selector % (sizeof kCodePages / sizeof kCodePages[0])];
}

void freshMachine(unsigned codePage) {
    static bool loaded = false;
    if (loaded) {
        frame::libraryUnload();
    }
    const std::string &folder = driveFolder();
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    emu::resetMachine();
    emu::configureStandardMachine(folder);
    emu::machine().codePage = codePage;
    frame::libraryLoad(frame::emulatedModule());
    loaded = true;
}

void writeFile(const std::string &machinePath, const std::string &content) {
    const fs::path host = hostPath(machinePath);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

bool readFile(const std::string &machinePath, std::string &content) {
    std::ifstream in(hostPath(machinePath), std::ios::binary);
    if (!in) {
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

void fail(const std::string &what) {
    std::fprintf(stderr, "\n== broken promise: %s\n", what.c_str());
    std::abort();
}

void finishInput() {
    expect(emu::openHandleCount() == 0, "a key, handle or system buffer was left open");
}

std::string visible(const std::string &text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            shown += hex;
        }
    }
    return shown;
}

} // namespace fuzz
