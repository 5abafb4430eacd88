// The conformance cases: each states one behaviour of the Win32 seam that the
// library relies on, calls only `win::` functions, and runs unchanged on the
// emulated machine (Linux) and against the real Win32 API (Wine or Windows).
// This fixture is their only set-up: before each case a scratch folder and a
// scratch registry key, removed again after it.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform.h"
#include "platform/types.h"

namespace conformance {

class Case : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The scratch folder (a machine path without a trailing backslash) and a
    // path inside it.
    [[nodiscard]] static const std::string &folder();
    [[nodiscard]] static std::string path(const std::string &name);
    // Whole files by their machine paths, written and read around the seam
    // (folders on the way are created).
    static void writeFile(const std::string &machinePath, const std::string &content);
    [[nodiscard]] static std::optional<std::string> readFile(const std::string &machinePath);

    // The scratch key under HKEY_CURRENT_USER, open with every right.
    [[nodiscard]] HKEY key() const { return key_; }
    static constexpr const char *kKeyPath = platform::kScratchKey;

private:
    HKEY key_ = nullptr;
};

// Where Wine is known to differ from Windows, a case checks Wine's behaviour
// instead of Windows', so a change in Wine is noticed too:
//     if (knownWineDifference(reason)) { Wine's behaviour } else { Windows' }
// True only when running under Wine; the reason is listed after the run.
// The emulated machine always models Windows.
bool knownWineDifference(const char *reason);

// Filled with junk before a call, so that what the call writes (and what it
// leaves) can be told apart.
inline constexpr char kJunk = '#';

} // namespace conformance
