// Profile (INI) files of the emulated machine, over real files, with the
// rules Windows applies: a bare file name lies in the Windows folder, section
// and key names match without regard to case, values lose surrounding blanks
// and one pair of matching quotes, and every write replaces the file whole
// (written beside it, then renamed over it) so that no reader ever sees a
// half-written file.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/change_observer.h"
#include "emulator/files/files_internal.h"
#include "emulator/system/system_state.h"
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
        return system().windowsFolder + "\\" + name;
    }
    return name;
}

// A line of a profile file, its text held by the file it belongs to: the
// file's content as read, or a text written since.
struct ProfileLine {
    std::string_view text;
    bool isSection = false;
    std::string_view name; // section name, or key name of a key line
    bool isKey = false;
    bool asRead = false; // the line stands in the file as read, ended by "\r\n"
};

// Splits a file's content into lines. Lines end at a line feed, a carriage
// return or the two together (a last line may lack an end); a line's text
// ends at a zero byte. strcspn finds the first of the three in one pass (the
// content is a std::string's, so a zero byte follows its end), so splitting
// a file costs time proportional to its size.
class LineSplitter {
public:
    LineSplitter() = default;
    explicit LineSplitter(const std::string &content) : content_(content) {}

    [[nodiscard]] bool atEnd() const { return start_ >= content_.size(); }

    // The next line's text, and whether it stands in the content ended by
    // "\r\n" and not cut at a zero byte.
    std::string_view next(bool &asRead) {
        const char *base = content_.data();
        std::size_t end = start_ + std::strcspn(base + start_, "\r\n");
        const std::size_t textEnd = end;
        while (end < content_.size() && base[end] == '\0') {
            ++end;
            end += std::strcspn(base + end, "\r\n");
        }
        std::size_t after = end < content_.size() ? end + 1 : end;
        if (base[end] == '\r' && base[end + 1] == '\n') {
            ++after;
        }
        const std::string_view text = content_.substr(start_, textEnd - start_);
        asRead = textEnd == end && after == end + 2;
        start_ = after;
        return text;
    }

private:
    std::string_view content_;
    std::size_t start_ = 0;
};

// A file read into lines that point into its content, split only as far as
// a call looks: finding a key near the top of a long file reads no further,
// and a write copies the lines after the last one looked at as runs of the
// file as read. A line written keeps its text in the file too, where it
// never moves.
class ProfileFile {
public:
    std::string host;
    bool exists = false;

    ProfileFile() = default;
    ProfileFile(const ProfileFile &) = delete;
    ProfileFile &operator=(const ProfileFile &) = delete;

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
        readOnly_ =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return ERROR_ACCESS_DENIED;
        }
        if (!sharingAllows(host, access, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
            return ERROR_SHARING_VIOLATION;
        }
        exists = readRegularFile(host, content_);
        unsplit_ = LineSplitter(content_);
        // Room for as many lines as a file of short lines holds, so that
        // splitting a long file moves no lines it split already.
        lines_.reserve(content_.size() / 16 + 1);
        return ERROR_SUCCESS;
    }

    // Whether line i exists, splitting the file up to it.
    bool has(std::size_t i) {
        while (i >= lines_.size() && !unsplit_.atEnd()) {
            bool asRead = false;
            const std::string_view text = unsplit_.next(asRead);
            lines_.push_back(parse(text));
            lines_.back().asRead = asRead;
        }
        return i < lines_.size();
    }

    // The lines split so far; all of them after a look past the last.
    std::vector<ProfileLine> &lines() { return lines_; }

    // A line of new text, kept by the file.
    ProfileLine written(std::string text) {
        return parse(writtenTexts_.emplace_back(std::move(text)));
    }

    // The index of the section's header line, or -1.
    [[nodiscard]] long findSection(const std::string &section) {
        for (std::size_t i = 0; has(i); ++i) {
            if (lines_[i].isSection && equalNoCase(lines_[i].name, section)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    // The end of the section that starts at header (the next header or the end).
    [[nodiscard]] std::size_t sectionEnd(long header) {
        std::size_t i = static_cast<std::size_t>(header) + 1;
        while (has(i) && !lines_[i].isSection) {
            ++i;
        }
        return i;
    }

    [[nodiscard]] long findKey(long header, const std::string &key) {
        if (header < 0) {
            return -1;
        }
        for (std::size_t i = static_cast<std::size_t>(header) + 1; has(i) && !lines_[i].isSection;
             ++i) {
            if (lines_[i].isKey && equalNoCase(lines_[i].name, key)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    [[nodiscard]] bool value(const std::string &section, const std::string &key,
                             std::string &result) {
        const long line = findKey(findSection(section), key);
        if (line < 0) {
            return false;
        }
        const std::string_view text = lines_[static_cast<std::size_t>(line)].text;
        const auto equals = text.find('=');
        result = equals == std::string_view::npos ? std::string()
                                                  : unquote(trim(text.substr(equals + 1)));
        return true;
    }

    // The names a null section or key asks for: the sections', or the keys'
    // of a section (lines with "=" only), each ended by a zero.
    [[nodiscard]] std::string names(const char *section) {
        std::string list;
        const auto add = [&list](const ProfileLine &line) {
            if (!line.name.empty()) {
                list += line.name;
                list += '\0';
            }
        };
        if (section == nullptr) {
            for (std::size_t i = 0; has(i); ++i) {
                if (lines_[i].isSection) {
                    add(lines_[i]);
                }
            }
            return list;
        }
        const long header = findSection(section);
        if (header >= 0) {
            const std::size_t end = sectionEnd(header);
            for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i) {
                if (lines_[i].isKey && lines_[i].text.find('=') != std::string_view::npos) {
                    add(lines_[i]);
                }
            }
        }
        return list;
    }

    // Writes the lines to a new file beside the old one and renames it over.
    // A planned fault strikes halfway through the new file, as a disk that
    // fills up would; the old file stays as it was.
    DWORD save(DWORD plannedFault) {
        const std::vector<std::string_view> pieces = contentPieces();
        std::size_t size = 0;
        for (const std::string_view piece : pieces) {
            size += piece.size();
        }
        // What the file and its folder were when read stands for now: the
        // machine does nothing between a profile call's read and its write.
        std::error_code error;
        if (!exists && !fs::is_directory(fs::path(host).parent_path(), error)) {
            return ERROR_PATH_NOT_FOUND;
        }
        if (exists && readOnly_) {
            return ERROR_ACCESS_DENIED;
        }
        const std::string temporary = host + ".~new";
        noteFileChanging(temporary);
        noteFileChanging(host);
        const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (out < 0) {
            return ERROR_ACCESS_DENIED;
        }
        const std::size_t length = plannedFault == ERROR_SUCCESS ? size : size / 2;
        const bool written = writePieces(out, pieces, length) && plannedFault == ERROR_SUCCESS;
        const bool flushed = ::fsync(out) == 0;
        const bool closed = ::close(out) == 0;
        if (!written || !flushed || !closed || std::rename(temporary.c_str(), host.c_str()) != 0) {
            std::remove(temporary.c_str());
            return plannedFault != ERROR_SUCCESS ? plannedFault : ERROR_DISK_FULL;
        }
        return ERROR_SUCCESS;
    }

private:
    // A line of the text given: a section header, a key, or neither.
    static ProfileLine parse(std::string_view text) {
        ProfileLine line{text, false, {}, false};
        const std::string_view content = trimmed(text);
        if (!content.empty() && content.front() == '[') {
            const auto close = content.find(']');
            line.isSection = true;
            line.name = trimmed(content.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        } else if (!content.empty()) {
            line.isKey = true;
            line.name = trimmed(content.substr(0, content.find('=')));
        }
        return line;
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

    // The file's new content, each line ended by a carriage return and a
    // line feed, as pieces to write: lines that still stand in the file as
    // read, ended that way, are written from it in runs, not copied; the
    // lines not split yet follow.
    [[nodiscard]] std::vector<std::string_view> contentPieces() {
        static constexpr std::string_view kLineEnd = "\r\n";
        std::vector<std::string_view> pieces;
        const auto add = [&pieces](std::string_view text, bool asRead) {
            if (!asRead) {
                pieces.push_back(text);
                pieces.push_back(kLineEnd);
                return;
            }
            const std::string_view withEnd(text.data(), text.size() + kLineEnd.size());
            if (!pieces.empty() && pieces.back().data() + pieces.back().size() == withEnd.data()) {
                pieces.back() =
                    std::string_view(pieces.back().data(), pieces.back().size() + withEnd.size());
            } else {
                pieces.push_back(withEnd);
            }
        };
        for (const ProfileLine &line : lines_) {
            add(line.text, line.asRead);
        }
        while (!unsplit_.atEnd()) {
            bool asRead = false;
            const std::string_view text = unsplit_.next(asRead);
            add(text, asRead);
        }
        return pieces;
    }

    // Writes the first `length` bytes of the pieces, as few calls as the
    // system takes.
    static bool writePieces(int out, const std::vector<std::string_view> &pieces,
                            std::size_t length) {
        std::vector<iovec> vectors;
        for (const std::string_view piece : pieces) {
            const std::size_t take = std::min(piece.size(), length);
            if (take > 0) {
                // writev only reads from the pieces.
                vectors.push_back({const_cast<char *>(piece.data()), take}); // NOLINT
            }
            length -= take;
        }
        for (std::size_t at = 0; at < vectors.size();) {
            const int count = static_cast<int>(std::min<std::size_t>(vectors.size() - at, IOV_MAX));
            ssize_t written = ::writev(out, &vectors[at], count);
            if (written <= 0) {
                return false;
            }
            for (; at < vectors.size() && written > 0; ++at) {
                iovec &vector = vectors[at];
                if (static_cast<std::size_t>(written) < vector.iov_len) {
                    vector.iov_base = static_cast<char *>(vector.iov_base) + written;
                    vector.iov_len -= static_cast<std::size_t>(written);
                    break;
                }
                written -= static_cast<ssize_t>(vector.iov_len);
            }
        }
        return true;
    }

    bool readOnly_ = false;
    std::string content_;                  // the file as read
    LineSplitter unsplit_;                 // the part of it not split into lines yet
    std::vector<ProfileLine> lines_;       // the lines split so far, as changed
    std::deque<std::string> writtenTexts_; // lines written since
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
    auto &lines = file.lines();
    if (key == nullptr) {
        if (header < 0) {
            return unchanged();
        }
        // The section's end first: finding it may split more of the file.
        const std::size_t end = file.sectionEnd(header);
        lines.erase(lines.begin() + header, lines.begin() + static_cast<long>(end));
    } else if (text == nullptr) {
        const long line = file.findKey(header, key);
        if (line < 0) {
            return unchanged();
        }
        lines.erase(lines.begin() + line);
    } else if (header < 0) {
        lines.push_back(file.written(std::string("[") + section + "]"));
        lines.push_back(file.written(std::string(key) + "=" + text));
    } else if (const long line = file.findKey(header, key); line >= 0) {
        auto &existing = lines[static_cast<std::size_t>(line)];
        existing = file.written(std::string(existing.name) + "=" + text);
    } else {
        // A new key goes after the last non-blank line of its section.
        std::size_t at = file.sectionEnd(header);
        while (at > static_cast<std::size_t>(header) + 1 &&
               emu::trimmed(lines[at - 1].text).empty()) {
            --at;
        }
        lines.insert(lines.begin() + static_cast<long>(at),
                     file.written(std::string(key) + "=" + text));
    }
    if (const DWORD rc = file.save(fault); rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return FALSE;
    }
    return TRUE;
}

} // namespace win
