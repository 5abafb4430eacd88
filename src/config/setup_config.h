// The setup configuration file QLNSETUP.INI beside the installer: its
// section "Configuration" holds the switches and texts of one installation.
#pragma once

#include <string>

namespace config {

constexpr const char *kFileName = "QLNSETUP.INI";
constexpr const char *kSection = "Configuration";
// Marks that no usable value was found; compared without regard to case.
constexpr const char *kErrorReadingValue = "Error Reading Value";

// The path of the setup configuration file: the folder text followed
// directly by the file name (the folder carries its trailing backslash).
std::string FilePath(const char *folder);

// One setting of the folder's setup configuration, environment references
// expanded; defaultText when the file, the section or the key is missing.
std::string SetupConfig(const char *folder, const char *key, const char *defaultText);

// Shows text to the user unless the folder's "ShowErrorMessages" is "NO".
void SetupMessageBox(const char *folder, const char *text);

} // namespace config
