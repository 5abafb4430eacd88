// The library's one application object. Its start-up step, at load, works out
// the product's display name from the product's registry key; the name then
// stays fixed for the life of the loaded library.
#pragma once

#include <string>

namespace frame {

class Application {
public:
    void startUp();
    // The title of message boxes that have none of their own.
    [[nodiscard]] const std::string &name() const { return name_; }

private:
    std::string name_;
};

// The application object of this load of the library.
Application &application();

// The product's display name, as worked out when the library was loaded.
const std::string &productDisplayName();

// The longest display name the library keeps, in bytes.
constexpr std::size_t kMaxDisplayNameLength = 259;

} // namespace frame
