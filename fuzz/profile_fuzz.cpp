// The profile (INI) file reader and writer of the emulated machine: a file of
// any content, then reads, writes and deletions of any section, key and
// text. A read never writes past the caller's buffer and always terminates
// it; a plain text written is read back as written; every write replaces the
// file whole.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "fuzz_machine.h"
#include "emulator/machine.h"
#include "platform/profile.h"

namespace {

constexpr const char *kFile = "C:\\Setup\\fuzz.ini";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A name or text the file keeps as it is: one line, no blanks at its ends.
bool isPlainText(const std::string &text) {
    return !text.empty() && text.find_first_of("\r\n") == std::string::npos &&
           !isBlank(text.front()) && !isBlank(text.back());
}

bool isPlainSection(const std::string &name) {
    return isPlainText(name) && name.find(']') == std::string::npos;
}

bool isPlainKey(const std::string &name) {
    return isPlainText(name) && name.find('=') == std::string::npos && name.front() != '[';
}

// A value that is not taken apart on reading: no quotes around it.
bool isPlainValue(const std::string &text) {
    return isPlainText(text) &&
           !(text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
             text.back() == text.front());
}

std::string read(const std::string &section, const std::string &key, const char *defaultText) {
    std::vector<char> buffer(4096);
    win::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), kFile);
    return buffer.data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::freshMachine(fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>()));
    fuzz::writeFile(kFile, input.ConsumeRandomLengthString(2048));
    for (int step = 0; step < 8 && input.remaining_bytes() > 0; ++step) {
        const int operation = input.ConsumeIntegralInRange(0, 4);
        const std::string section = fuzz::textOf(input.ConsumeRandomLengthString(32));
        const std::string key = fuzz::textOf(input.ConsumeRandomLengthString(32));
        const std::string text = fuzz::textOf(input.ConsumeRandomLengthString(128));
        const bool plain = isPlainSection(section) && isPlainKey(key);
        switch (operation) {
        case 0: { // a read into a buffer of exactly the size given
            const auto room = input.ConsumeIntegralInRange<std::size_t>(1, 300);
            std::vector<char> buffer(room, 'X');
            const DWORD length =
                win::GetPrivateProfileStringA(section.c_str(), key.c_str(), text.c_str(),
                                              buffer.data(), static_cast<DWORD>(room), kFile);
            fuzz::expect(length < room && buffer[length] == '\0' &&
                             std::strlen(buffer.data()) == length,
                         "a read left its buffer unterminated or miscounted");
            break;
        }
        case 1:
            win::GetPrivateProfileIntA(section.c_str(), key.c_str(), 7, kFile);
            break;
        case 2: // store a text, then read it back
            if (win::WritePrivateProfileStringA(section.c_str(), key.c_str(), text.c_str(),
                                                kFile) &&
                plain && isPlainValue(text)) {
                const std::string back = read(section, key, "(none)");
                fuzz::expect(back == text, "stored \"" + fuzz::visible(text) + "\", read back \"" +
                                               fuzz::visible(back) + "\"");
            }
            break;
        case 3: // delete a key
            win::WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, kFile);
            break;
        case 4: // delete a section
            win::WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, kFile);
            break;
        default:
            break;
        }
    }
    // Each write replaced the file whole: nothing is left beside it.
    std::string host;
    emu::hostPath(kFile, host);
    std::size_t files = 0;
    for (const auto &entry :
         std::filesystem::directory_iterator(std::filesystem::path(host).parent_path())) {
        (void)entry;
        ++files;
    }
    fuzz::expect(files == 1, "a profile write left a file beside the profile file");
    fuzz::finishInput();
    return 0;
}
