// The library's one application object. Its start-up step, at load, works out
// the product's display name from the product's registry key; the name then
// stays fixed for the life of the loaded library.
#pragma once

#include <cstddef>
#include <string>

#include "base/paths.h"

namespace frame {

// The application object's start-up step, run when the library is loaded.
void startApplication();

// The product's display name, as worked out when the library was loaded: the
// title of message boxes that have none of their own.
const std::string &productDisplayName();

// The longest display name the library keeps, in bytes: a path buffer's
// worth.
constexpr std::size_t kMaxDisplayNameLength = paths::kMaxPathLength;

} // namespace frame
