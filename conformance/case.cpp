#include "case.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform.h"
#include "platform/registry.h"

namespace conformance {

void Case::SetUp() {
    platform::startCase();
    ASSERT_EQ(win::RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, &key_, nullptr),
              ERROR_SUCCESS);
}

void Case::TearDown() {
    if (key_ != nullptr) {
        EXPECT_EQ(win::RegCloseKey(key_), ERROR_SUCCESS);
        key_ = nullptr;
    }
    platform::endCase();
}

const std::string &Case::folder() { return platform::scratchFolder(); }

std::string Case::path(const std::string &name) { return folder() + "\\" + name; }

void Case::writeFile(const std::string &machinePath, const std::string &content) {
    const std::filesystem::path host = platform::hostPath(machinePath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

std::optional<std::string> Case::readFile(const std::string &machinePath) {
    std::ifstream in(platform::hostPath(machinePath), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::set<std::string> &differencesMet() {
    static std::set<std::string> met;
    return met;
}

bool knownWineDifference(const char *reason) {
    if (!platform::underWine()) {
        return false;
    }
    differencesMet().insert(reason);
    return true;
}

} // namespace conformance
