// Every fixed size the library keeps, one below, at and one above its limit:
// paths and names of 259 characters, the 519 characters of a parameter text,
// values and messages of 1,023 characters, numbers of 19 letters. Text that
// fits is used whole; text that does not is cut at a character boundary or
// refused, as each size's owner says, and nothing is written past a buffer.
#include <climits>
#include <filesystem>
#include <string>

#include "frame/application.h"
#include "logging/debug_log.h"
#include "emulator/system/calendar.h"
#include "platform/profile.h"
#include "radozavu.h"
#include "registry/product_registry.h"
#include "support/machine_test.h"
#include "os/provider_order.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBelowAtAbove[] = {-1, 0, 1};

std::string trace(std::size_t length) { return "length " + std::to_string(length); }

class Limits : public MachineTest {
protected:
    // A machine path of exactly `length` characters that ends in `ending`
    // (which starts with its backslash): C:\ and folders of at most 100
    // characters before it (a host file name holds 255).
    static std::string pathOfLength(std::size_t length, const std::string &ending) {
        std::string path = "C:\\";
        while (path.size() + ending.size() < length) {
            const std::size_t room = length - ending.size() - path.size();
            if (room <= 101) {
                path += std::string(room, 'd');
                break;
            }
            path += std::string(100, 'd') + "\\";
        }
        return path + ending;
    }

    static std::string folderOf(const std::string &path) {
        return path.substr(0, path.rfind('\\'));
    }
};

// ---- 259-character paths and names ----

TEST_F(Limits, CompanyAndProductKeyNamesHold259Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string name(259 + delta, 'n');
        SCOPED_TRACE(trace(name.size()));
        reloadLibrary();
        RADOzavu_SetRegistryInfo(name.c_str(), "Product");
        EXPECT_EQ(registry::CompanyKeyName(), delta <= 0 ? name : "Brevanta");
        RADOzavu_SetRegistryInfo("Company", name.c_str());
        EXPECT_EQ(registry::ProductKeyName(), delta <= 0 ? name : "Quillane");
    }
}

TEST_F(Limits, TheInstallLocationFillsA260ByteBuffer) {
    for (const int delta : kBelowAtAbove) {
        const std::string folder = pathOfLength(259 + delta, "");
        SCOPED_TRACE(trace(folder.size()));
        registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "Install Location", folder);
        char buffer[260];
        registry::GetInstallLocation(buffer, sizeof buffer);
        EXPECT_EQ(buffer, delta <= 0 ? folder : registry::kDefaultInstallFolder);
    }
}

TEST_F(Limits, TheDisplayNameKeeps259CharactersOfTheStoredName) {
    for (const int delta : kBelowAtAbove) {
        const std::string name(259 + delta, 'q');
        SCOPED_TRACE(trace(name.size()));
        registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", name);
        reloadLibrary();
        EXPECT_EQ(frame::productDisplayName(), name.substr(0, 259));
        // Read from the store, short or long, the text comes whole.
        EXPECT_EQ(
            registry::ReadProductString("Current Version", "ProductName", "", HKEY_LOCAL_MACHINE),
            name);
    }
}

TEST_F(Limits, TheActionLogPathHolds259Characters) {
    emu::setLocalTime(2006, 3, 7, 14, 5);
    for (const int delta : kBelowAtAbove) {
        const std::string log = pathOfLength(259 + delta, "\\install.log");
        SCOPED_TRACE(trace(log.size()));
        makeFolder(folderOf(log));
        writeFile("C:\\Setup\\QLNSETUP.INI", "[Configuration]\r\nInstallActionLog=" + log + "\r\n");
        const std::string text = "C:\\Setup\\QLNSETUP.INI|Copied files";
        SetupCallRecord record{};
        record.ParamText = text.c_str();
        EXPECT_EQ(HKSetupAddActionLog(&record), 0);
        EXPECT_EQ(fileExists(log), delta <= 0);
    }
}

TEST_F(Limits, TheSetupFileIsReadWhenItsPathHolds259Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string ini = pathOfLength(259 + delta, "\\QLNSETUP.INI");
        SCOPED_TRACE(trace(ini.size()));
        writeFile(ini, "[Configuration]\r\nDefaultWebSite=http://example.invalid\r\n");
        const std::string folder = folderOf(ini) + "\\";
        EXPECT_EQ(std::string(GetDefaultWebSite(folder.c_str())),
                  delta <= 0 ? "http://example.invalid" : "http://www.brevanta.com");
    }
}

TEST_F(Limits, TheDebugLogOfTheInstallFolderHasAPathOf259Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string ini = pathOfLength(259 + delta, "\\QLNQUILL.INI");
        SCOPED_TRACE(trace(ini.size()));
        reloadLibrary(); // the switch is read at the first message of a load
        registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "Install Location",
                             folderOf(ini));
        writeFile(ini, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
        EXPECT_EQ(logging::DebugLogInstall("EWX_REBOOT"), delta <= 0 ? 1 : 0);
    }
}

TEST_F(Limits, TheOldLibraryIsRemovedWhenItsPathFits) {
    const std::string sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    for (const int delta : kBelowAtAbove) {
        const std::string library = pathOfLength(259 + delta, "\\BIN\\MFC42.DLL");
        SCOPED_TRACE(trace(library.size()));
        writeFile(library, "old library");
        const std::string installFolder = folderOf(folderOf(library));
        SetupCallRecord record{};
        record.ParamText = installFolder.c_str();
        EXPECT_EQ(HKSetupCleanUpOldFiles(&record), 0);
        // A path too long for the step is left alone: neither deleted nor
        // marked for deletion at the next start.
        EXPECT_EQ(fileExists(library), delta > 0);
        EXPECT_EQ(
            registry().value(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations"),
            nullptr);
    }
}

TEST_F(Limits, TheInitialPreferencesFileIsCopiedWhenItsDestinationFits) {
    writeFile("C:\\Setup\\QLNINIT.INI", "[Initial]\r\n");
    for (const int delta : kBelowAtAbove) {
        const std::string destination = pathOfLength(259 + delta, "\\QLNINIT.INI");
        SCOPED_TRACE(trace(destination.size()));
        const std::string folder = folderOf(destination) + "\\";
        makeFolder(folder);
        EXPECT_EQ(MoveInitialPreferencesFileEX("C:\\Setup\\QLNINIT.INI", folder.c_str()), 0);
        EXPECT_EQ(fileExists(destination), delta <= 0);
    }
}

// Each of the two source lists is looked for only when its key path fits.
TEST_F(Limits, ThePackageNameIsDeletedWhenItsKeyPathFits) {
    const std::string suffix = "\\SourceList";
    struct SourceList {
        HKEY root;
        std::string prefix;
        char letter; // names of the machine's and the user's products differ
    };
    for (const auto &[root, prefix, letter] :
         {SourceList{HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Installer\\Products\\", 'm'},
          SourceList{HKEY_CURRENT_USER, "Software\\Microsoft\\Installer\\Products\\", 'u'}}) {
        for (const int delta : kBelowAtAbove) {
            const std::string product(259 + delta - prefix.size() - suffix.size(), letter);
            SCOPED_TRACE(trace(prefix.size() + product.size() + suffix.size()));
            registry().setString(root, prefix + product + suffix, "PackageName", "q.msi");
            EXPECT_EQ(DeleteRegPackageNameEX(product.c_str()), delta <= 0 ? 1 : 0);
            EXPECT_EQ(registry().value(root, prefix + product + suffix, "PackageName") == nullptr,
                      delta <= 0);
        }
    }
}

TEST_F(Limits, TheSetupProgramPathKeeps259Characters) {
    for (const int delta : kBelowAtAbove) {
        machine().processes.programFile = pathOfLength(259 + delta, "\\SETUP.EXE");
        SCOPED_TRACE(trace(machine().processes.programFile.size()));
        EXPECT_EQ(std::string(HKGetSetupExePath()), machine().processes.programFile.substr(0, 259));
    }
}

TEST_F(Limits, TheRegisteredCommonDesktopFillsA260ByteBuffer) {
    machine().system.specialFolders.erase(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::string userDesktop = machine().system.specialFolders.at(CSIDL_DESKTOP);
    for (const int delta : kBelowAtAbove) {
        const std::string desktop = pathOfLength(259 + delta, "\\Desktop");
        SCOPED_TRACE(trace(desktop.size()));
        registry().setString(
            HKEY_LOCAL_MACHINE,
            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            "Common Desktop", desktop);
        EXPECT_EQ(std::string(HKSetupGetCommonDesktopLocation()),
                  delta <= 0 ? desktop : userDesktop);
    }
}

// Orders of any length are kept whole; so is one an add makes longer.
TEST_F(Limits, TheProviderOrderIsKeptWholeAroundItsOld259Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string others = std::string(259 + delta - 6, 'p') + ",RDPNP";
        SCOPED_TRACE(trace(others.size()));
        registry().setString(HKEY_LOCAL_MACHINE, os::kOrderKey, "ProviderOrder", others);
        EXPECT_EQ(HKAddNetworkProviderEX(), 0);
        EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, os::kOrderKey, "ProviderOrder"),
                  "QLNNET," + others);
        EXPECT_EQ(HKRemoveNetworkProviderEX(), 0);
        EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, os::kOrderKey, "ProviderOrder"),
                  others);
    }
}

// ---- The 519 characters of a parameter text ----

TEST_F(Limits, TheActionLogUsesAParameterTextOf519Characters) {
    emu::setLocalTime(2006, 3, 7, 14, 5);
    writeFile("C:\\Setup\\QLNSETUP.INI", "[Configuration]\r\nInstallActionLog=C:\\install.log\r\n");
    const std::string path = "C:\\Setup\\QLNSETUP.INI|";
    std::string expected;
    for (const int delta : kBelowAtAbove) {
        const std::string message(519 + delta - path.size(), 'm');
        SCOPED_TRACE(trace(path.size() + message.size()));
        const std::string text = path + message;
        SetupCallRecord record{};
        record.ParamText = text.c_str();
        EXPECT_EQ(HKSetupAddActionLog(&record), 0);
        expected += "Tue Mar 07 02:05 PM 2006 : " + message.substr(0, 519 - path.size()) + "\r\n";
        EXPECT_EQ(readFile("C:\\install.log"), expected);
    }
}

// ---- Values and messages of 1,023 characters ----

TEST_F(Limits, ASettingHolds1023Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string value(1023 + delta, 'v');
        SCOPED_TRACE(trace(value.size()));
        writeFile("C:\\Setup\\QLNSETUP.INI",
                  "[Configuration]\r\nUpgradeVersionCheck=" + value + "\r\n");
        EXPECT_EQ(std::string(GetUpgradeVersionCheck("C:\\Setup\\")), value.substr(0, 1023));
    }
}

// %WINDIR% (10 characters on this machine) in a value whose expansion is
// one below, at or one above 1,023 characters: one that does not fit comes
// back as written.
TEST_F(Limits, ASettingIsExpandedWhenItsExpansionHolds1023Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string value = "%WINDIR%" + std::string(1023 + delta - 10, 'e');
        SCOPED_TRACE(trace(value.size() + 2));
        writeFile("C:\\Setup\\QLNSETUP.INI",
                  "[Configuration]\r\nUpgradeVersionCheck=" + value + "\r\n");
        EXPECT_EQ(std::string(GetUpgradeVersionCheck("C:\\Setup\\")),
                  delta <= 0 ? "C:\\WINDOWS" + value.substr(8) : value);
    }
}

TEST_F(Limits, ADebugLogMessageHolds1023Characters) {
    emu::setLocalTime(2006, 3, 7, 14, 5);
    writeFile("C:\\WINDOWS\\QLNQUILL.INI", "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
    int line = 0;
    for (const int delta : kBelowAtAbove) {
        const std::string message(1023 + delta, 'x');
        SCOPED_TRACE(trace(message.size()));
        logging::DebugLogWindows("%s", message.c_str());
        char key[8];
        std::snprintf(key, sizeof key, "%03d", ++line);
        char stored[2048];
        win::GetPrivateProfileStringA("DebugIniMsgs", key, "", stored, sizeof stored,
                                      "C:\\WINDOWS\\QLNQUILL.INI");
        EXPECT_EQ(std::string(stored), "[Tue Mar 07 02:05 PM 2006] " + message.substr(0, 1023));
    }
}

// ---- Numbers of 19 letters ----

TEST_F(Limits, ANumberIsDecodedFromAtMost19Letters) {
    for (const int delta : kBelowAtAbove) {
        const std::string letters = std::string(19 + delta - 1, 'A') + "B";
        SCOPED_TRACE(trace(letters.size()));
        EXPECT_EQ(HKGetNumberFromString(letters.c_str()), delta <= 0 ? 1 : 0);
    }
    // The longest texts a number gives are far inside the buffer.
    EXPECT_STREQ(HKGetStringFromNumber(INT_MIN), "-CBEHEIDGEI");
    EXPECT_STREQ(HKGetStringFromNumber(INT_MAX), "CBEHEIDGEH");
}

} // namespace
