#include "options.h"

#include <algorithm>
#include <sstream>

#include "emulator/code_page.h"
#include "emulator/persistence/number_text.h"

namespace host {

bool optionValue(const std::vector<std::string> &words, std::size_t &i, const std::string &name,
                 std::string &value) {
    const std::string &word = words[i];
    if (word.rfind(name + "=", 0) == 0) {
        value = word.substr(name.size() + 1);
        return true;
    }
    if (word != name) {
        return false;
    }
    if (i + 1 >= words.size()) {
        throw UsageError(name + " needs a value");
    }
    value = words[++i];
    return true;
}

namespace {

UsageError notACodePage(const std::string &value) {
    std::string numbers;
    const std::size_t count = std::size(emu::kSupportedCodePages);
    for (std::size_t i = 0; i < count; ++i) {
        numbers += (i == 0           ? ""
                    : i + 1 == count ? " or "
                                     : ", ") +
                   std::to_string(emu::kSupportedCodePages[i]);
    }
    return UsageError("--codepage takes a code page number (" + numbers + "), not " + value);
}

} // namespace

unsigned codePageOption(const std::string &value) {
    const auto number = emu::readUnsigned(value, 65535);
    if (!number) {
        throw notACodePage(value);
    }
    return static_cast<unsigned>(*number);
}

namespace {

// A list of names separated by commas ("xp,7,10"), none of them empty.
std::vector<std::string> commaList(const std::string &option, const std::string &value) {
    std::vector<std::string> names;
    std::istringstream list(value);
    for (std::string name; std::getline(list, name, ',');) {
        names.push_back(name);
    }
    if (names.empty() || value.back() == ',' ||
        std::find(names.begin(), names.end(), "") != names.end()) {
        throw UsageError(option + " takes names separated by commas, not \"" + value + "\"");
    }
    return names;
}

// The options of run --windows, the matrix of editions.
bool takeMatrixOption(const std::vector<std::string> &words, std::size_t &i, HostOptions &options) {
    std::string value;
    if (optionValue(words, i, "--windows", value)) {
        options.windows = commaList("--windows", value);
    } else if (optionValue(words, i, "--arch", value)) {
        options.arches = commaList("--arch", value);
    } else if (optionValue(words, i, "--editions", options.editionsFolder)) {
        if (options.editionsFolder.empty()) {
            throw UsageError("--editions needs a folder, not an empty name");
        }
    } else if (optionValue(words, i, "--codepage", value)) {
        options.codePage = codePageOption(value);
        if (options.codePage == 0) {
            throw notACodePage(value);
        }
    } else if (words[i] == "--with-product-running") {
        options.withProductRunning = true;
    } else if (words[i] == "--fold-folders") {
        options.foldFolders = true;
    } else {
        return false;
    }
    return true;
}

} // namespace

HostOptions takeHostOptions(std::vector<std::string> &words, const std::string &library) {
    HostOptions options;
    options.library = library;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string value;
        if (words[i] == "--param" || words[i] == "--owner") {
            rest.push_back(words[i]);
            if (i + 1 < words.size()) {
                rest.push_back(words[++i]);
            }
        } else if (optionValue(words, i, "--machine", options.folder)) {
            if (options.folder.empty()) {
                throw UsageError("--machine needs a folder, not an empty name");
            }
        } else if (words[i] == "--no-wait") {
            options.wait = false;
        } else if (words[i] == "--check") {
            options.check = true;
        } else if (words[i] == "--allow-restart") {
            options.allowRestart = true;
        } else if (optionValue(words, i, "--junit", options.junitReport)) {
            if (options.junitReport.empty()) {
                throw UsageError("--junit needs a file name");
            }
        } else if (optionValue(words, i, "--report", value)) {
            if (value.rfind("html=", 0) != 0 || value.size() == 5) {
                throw UsageError("--report takes html=FILE, not " + value);
            }
            options.htmlReport = value.substr(5);
        } else if (!takeMatrixOption(words, i, options)) {
            rest.push_back(words[i]);
        }
    }
    words = rest;
    const bool matrixOnly = !options.arches.empty() || !options.editionsFolder.empty() ||
                            options.codePage != 0 || options.withProductRunning ||
                            options.foldFolders;
    if (matrixOnly && options.windows.empty()) {
        throw UsageError("--arch, --editions, --codepage, --with-product-running and "
                         "--fold-folders go with run --windows");
    }
    if (!options.folder.empty() && !options.windows.empty() &&
        (!options.arches.empty() || options.codePage != 0 || options.withProductRunning)) {
        throw UsageError("the copies of --machine keep its architecture, code page and "
                         "programs: --arch, --codepage and --with-product-running make new "
                         "machines");
    }
    return options;
}

} // namespace host
