// The setup configuration file QLNSETUP.INI beside the installer: its
// section "Configuration" holds the switches and texts of one installation.
// This module is the one reader of the file; its callers name the keys
// below and choose their own room and defaults.
#pragma once

#include <cstddef>
#include <string>

namespace config {

constexpr const char *kFileName = "QLNSETUP.INI";
constexpr const char *kSection = "Configuration";

// The keys read by more than one part of the library, and the files the two
// initial-settings keys name by default (beside the setup configuration).
constexpr const char *kInitialPreferencesKey = "InitialPreferencesFile";
constexpr const char *kInitialPreferencesFileName = "QLNINIT.INI";
constexpr const char *kInitialRegistryKey = "InitialRegFile";
constexpr const char *kInitialRegistryFileName = "QLNCFG.REG";
constexpr const char *kActionLogKey = "InstallActionLog";

// The getters' text for "no usable value": the default of some keys, and what
// the product's installers compare a result with, in any letter case. It is
// part of the exports' results, not an error code of the library.
constexpr const char *kErrorReadingValue = "Error Reading Value";

// The path of the setup configuration file: the folder text followed
// directly by the file name (the folder carries its trailing backslash).
std::string FilePath(const char *folder);

// One key of section "Configuration" of the file at path, as the profile
// functions give it (no environment references expanded): at most room - 1
// bytes, defaultText when the file, the section or the key is missing.
std::string ReadRawSetting(const std::string &path, const char *key, const char *defaultText,
                           std::size_t room);

// One setting of the folder's setup configuration, environment references
// expanded; defaultText when the file, the section or the key is missing.
std::string ReadSetting(const char *folder, const char *key, const char *defaultText);

// Shows text to the user unless the folder's "ShowErrorMessages" is "NO".
void SetupMessageBox(const char *folder, const char *text);

} // namespace config
