// Profile (INI) files of the emulated machine, over real files, with the
// rules Windows applies: a bare file name lies in the Windows folder, section
// and key names match without regard to case, values lose surrounding blanks
// and one pair of matching quotes, and every write replaces the file whole
// (written beside it, then renamed over it) so that no reader ever sees a
// half-written file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/files/files_internal.h"
#include "emulator/machine.h"
#include "emulator/text.h"
#include "platform/profile.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string trim(std::string_view text) { return std::string(trimmed(text)); }

std::string unquote(const std::string &value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The machine path of a profile file: a name without any folder is looked
// for in the Windows folder.
std::string profileMachinePath(const char *fileName) {
    std::string name = fileName != nullptr ? fileName : "";
    if (findCharacter(name.c_str(), '\\') == nullptr &&
        findCharacter(name.c_str(), '/') == nullptr) {
        return machine().windowsFolder + "\\" + name;
    }
    return name;
}

struct ProfileLine {
    std::string text;
    bool isSection = false;
    std::string name; // section name, or key name of a key line
    bool isKey = false;
};

struct ProfileFile {
    std::string host;
    bool exists = false;
    std::vector<ProfileLine> lines;

    // Opens the file for the given access, sharing reading and writing as
    // Windows does: ERROR_SHARING_VIOLATION while a handle shares less, and
    // ERROR_ACCESS_DENIED for a folder. A missing file loads as empty.
    DWORD load(const char *fileName, DWORD access) {
        ResolvedPath resolved;
        if (!resolvePath(profileMachinePath(fileName), resolved) || resolved.parts.empty()) {
            return ERROR_PATH_NOT_FOUND;
        }
        host = resolved.host;
        const DWORD attributes = attributesOf(host);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return ERROR_ACCESS_DENIED;
        }
        if (!sharingAllows(host, access, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
            return ERROR_SHARING_VIOLATION;
        }
        std::string content;
        exists = readRegularFile(host, content);
        if (!exists) {
            return ERROR_SUCCESS;
        }
        // Lines end at a line feed, a carriage return or the two together (a
        // last line may lack an end); a line's text ends at a zero byte.
        for (std::size_t start = 0; start < content.size();) {
            std::size_t end = content.find_first_of("\r\n", start);
            end = end == std::string::npos ? content.size() : end;
            std::size_t next = end < content.size() ? end + 1 : end;
            if (content.compare(end, 2, "\r\n") == 0) {
                ++next;
            }
            // The zero byte is looked for inside the line only, so a file
            // is read in time proportional to its size.
            std::string_view text = std::string_view(content).substr(start, end - start);
            text = text.substr(0, text.find('\0'));
            lines.push_back(parse(text));
            start = next;
        }
        return ERROR_SUCCESS;
    }

    // The whole content of a regular file; false when there is none to read.
    static bool readRegularFile(const std::string &path, std::string &content) {
        const int file = ::open(path.c_str(), O_RDONLY);
        if (file < 0) {
            return false;
        }
        struct stat status {};
        bool read = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode);
        if (read) {
            content.resize(static_cast<std::size_t>(status.st_size));
            std::size_t have = 0;
            ssize_t count = 0;
            while (have < content.size() &&
                   (count = ::read(file, content.data() + have, content.size() - have)) > 0) {
                have += static_cast<std::size_t>(count);
            }
            content.resize(have);
            read = count >= 0;
        }
        ::close(file);
        return read;
    }

    static ProfileLine parse(std::string_view text) {
        ProfileLine line{std::string(text), false, {}, false};
        const std::string_view content = trimmed(text);
        if (!content.empty() && content.front() == '[') {
            const auto close = content.find(']');
            line.isSection = true;
            line.name = trim(content.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        } else if (!content.empty()) {
            line.isKey = true;
            line.name = trim(content.substr(0, content.find('=')));
        }
        return line;
    }

    // The index of the section's header line, or -1.
    [[nodiscard]] long findSection(const std::string &section) const {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].isSection && equalNoCase(lines[i].name, section)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    // The end of the section that starts at header (the next header or the end).
    [[nodiscard]] std::size_t sectionEnd(long header) const {
        std::size_t i = static_cast<std::size_t>(header) + 1;
        while (i < lines.size() && !lines[i].isSection) {
            ++i;
        }
        return i;
    }

    [[nodiscard]] long findKey(long header, const std::string &key) const {
        if (header < 0) {
            return -1;
        }
        const std::size_t end = sectionEnd(header);
        for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i) {
            if (lines[i].isKey && equalNoCase(lines[i].name, key)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    [[nodiscard]] bool value(const std::string &section, const std::string &key,
                             std::string &result) const {
        const long line = findKey(findSection(section), key);
        if (line < 0) {
            return false;
        }
        const std::string &text = lines[static_cast<std::size_t>(line)].text;
        const auto equals = text.find('=');
        result =
            equals == std::string::npos ? std::string() : unquote(trim(text.substr(equals + 1)));
        return true;
    }

    // The names a null section or key asks for: the sections', or the keys'
    // of a section (lines with "=" only), each ended by a zero.
    [[nodiscard]] std::string names(const char *section) const {
        std::string list;
        const auto add = [&list](const ProfileLine &line) {
            if (!line.name.empty()) {
                list += line.name;
                list += '\0';
            }
        };
        if (section == nullptr) {
            for (const ProfileLine &line : lines) {
                if (line.isSection) {
                    add(line);
                }
            }
            return list;
        }
        const long header = findSection(section);
        if (header >= 0) {
            const std::size_t end = sectionEnd(header);
            for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i) {
                if (lines[i].isKey && lines[i].text.find('=') != std::string::npos) {
                    add(lines[i]);
                }
            }
        }
        return list;
    }

    // Writes the lines to a new file beside the old one and renames it over.
    // A planned fault strikes halfway through the new file, as a disk that
    // fills up would; the old file stays as it was.
    DWORD save(DWORD plannedFault) const {
        std::string content;
        for (const ProfileLine &line : lines) {
            content += line.text;
            content += "\r\n";
        }
        const fs::path target(host);
        std::error_code error;
        if (!fs::is_directory(target.parent_path(), error)) {
            return ERROR_PATH_NOT_FOUND;
        }
        if (exists && (attributesOf(host) & FILE_ATTRIBUTE_READONLY) != 0) {
            return ERROR_ACCESS_DENIED;
        }
        const std::string temporary = host + ".~new";
        std::FILE *out = std::fopen(temporary.c_str(), "wb");
        if (out == nullptr) {
            return ERROR_ACCESS_DENIED;
        }
        const std::size_t length =
            plannedFault == ERROR_SUCCESS ? content.size() : content.size() / 2;
        const bool written =
            std::fwrite(content.data(), 1, length, out) == length && plannedFault == ERROR_SUCCESS;
        const bool flushed = std::fflush(out) == 0 && ::fsync(fileno(out)) == 0;
        const bool closed = std::fclose(out) == 0;
        if (!written || !flushed || !closed || std::rename(temporary.c_str(), host.c_str()) != 0) {
            std::remove(temporary.c_str());
            return plannedFault != ERROR_SUCCESS ? plannedFault : ERROR_DISK_FULL;
        }
        return ERROR_SUCCESS;
    }
};

// Hands a list of zero-ended names to the caller: ended by a second zero,
// its length without that zero. A list longer than the buffer is cut to the
// size less two, its last name cut short, and ended by two zeros.
DWORD copyList(const std::string &list, LPSTR buffer, DWORD size) {
    if (list.empty() || size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    const std::size_t length = list.size() + 1 <= size ? list.size() : size - 2;
    std::memcpy(buffer, list.data(), length);
    buffer[length] = '\0';
    if (length < list.size()) {
        buffer[length + 1] = '\0';
    }
    return static_cast<DWORD>(length);
}

// Reads a value, or gives the default (cut at its trailing blanks) when the
// file, the section or the key is missing or the file cannot be read; a null
// section or key lists the names instead.
DWORD readProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size,
                        LPCSTR fileName, DWORD plannedFault) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    ProfileFile file;
    if (plannedFault != ERROR_SUCCESS) {
        win::SetLastError(plannedFault);
    }
    const bool loaded =
        plannedFault == ERROR_SUCCESS && file.load(fileName, GENERIC_READ) == ERROR_SUCCESS;
    if (section == nullptr || key == nullptr) {
        return copyList(loaded ? file.names(section) : std::string(), buffer, size);
    }
    std::string result;
    if (!loaded || !file.value(section, key, result)) {
        std::string fallback = defaultText != nullptr ? defaultText : "";
        result = fallback.substr(0, fallback.find_last_not_of(' ') + 1);
    }
    std::size_t length = result.size();
    if (length > size - 1) {
        length = size - 1;
    }
    std::memcpy(buffer, result.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

} // namespace
} // namespace emu

namespace win {

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
    const DWORD fault = emu::plannedFileFault("GetPrivateProfileStringA");
    return emu::readProfileString(section, key, defaultText, buffer, size, fileName, fault);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName) {
    const DWORD fault = emu::plannedFileFault("GetPrivateProfileIntA");
    char text[32];
    if (emu::readProfileString(section, key, "", text, sizeof text, fileName, fault) == 0) {
        return static_cast<UINT>(defaultValue);
    }
    return static_cast<UINT>(std::strtol(text, nullptr, 10));
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR fileName) {
    const DWORD fault = emu::plannedFileFault("WritePrivateProfileStringA");
    // A write with nothing to change still fails when a fault is planned.
    const auto unchanged = [fault] {
        if (fault != ERROR_SUCCESS) {
            SetLastError(fault);
            return FALSE;
        }
        return TRUE;
    };
    // Without a section there is nothing to write, and Windows answers as
    // for a missing file.
    if (section == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    emu::ProfileFile file;
    if (const DWORD rc = file.load(fileName, GENERIC_READ | GENERIC_WRITE); rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return FALSE;
    }
    const long header = file.findSection(section);
    auto &lines = file.lines;
    if (key == nullptr) {
        if (header < 0) {
            return unchanged();
        }
        lines.erase(lines.begin() + header,
                    lines.begin() + static_cast<long>(file.sectionEnd(header)));
    } else if (text == nullptr) {
        const long line = file.findKey(header, key);
        if (line < 0) {
            return unchanged();
        }
        lines.erase(lines.begin() + line);
    } else if (header < 0) {
        lines.push_back(emu::ProfileFile::parse(std::string("[") + section + "]"));
        lines.push_back(emu::ProfileFile::parse(std::string(key) + "=" + text));
    } else if (const long line = file.findKey(header, key); line >= 0) {
        auto &existing = lines[static_cast<std::size_t>(line)];
        existing = emu::ProfileFile::parse(existing.name + "=" + text);
    } else {
        // A new key goes after the last non-blank line of its section.
        std::size_t at = file.sectionEnd(header);
        while (at > static_cast<std::size_t>(header) + 1 && emu::trim(lines[at - 1].text).empty()) {
            --at;
        }
        lines.insert(lines.begin() + static_cast<long>(at),
                     emu::ProfileFile::parse(std::string(key) + "=" + text));
    }
    if (const DWORD rc = file.save(fault); rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return FALSE;
    }
    return TRUE;
}

} // namespace win
