// Storage for the text an export returns: each text-returning export keeps
// one, so its text stays valid until the next call of the same export.
#pragma once

#include <string>
#include <utility>

namespace frame {

class ReturnedText {
public:
    const char *set(std::string text) {
        text_ = std::move(text);
        return text_.c_str();
    }

private:
    std::string text_;
};

} // namespace frame
