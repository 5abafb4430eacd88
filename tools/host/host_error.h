// The host's own failures, as every part of the host reports them.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

// A failure of the host itself: a machine that cannot be opened, a library
// that does not load, a file that cannot be written.
struct HostError : std::runtime_error {
    explicit HostError(const std::string &message)
        : std::runtime_error(message), message_(message) {}
    // The whole message, bytes after a NUL included (what() ends at the first).
    [[nodiscard]] const std::string &message() const { return message_; }

private:
    std::string message_;
};

// A command line or script line that cannot run as written.
struct UsageError : HostError {
    using HostError::HostError;
};

} // namespace host
