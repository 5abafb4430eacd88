// Registration of the product's service and the hand-over of its dependent
// services to the sibling library Rezedev.dll.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "radozavu.h"
#include "support/machine_test.h"

namespace {

constexpr const char *kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40";

class ServiceRegistration : public MachineTest {
protected:
    static void expectText(const char *name, const std::string &text) {
        const emu::RegValue *value = registry().value(HKEY_LOCAL_MACHINE, kServiceKey, name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_EQ(value->type, REG_SZ) << name;
        // The terminator is counted in the size.
        EXPECT_EQ(value->data.size(), text.size() + 1) << name;
        EXPECT_EQ(std::string(value->data.begin(), value->data.end()), text + '\0') << name;
    }
    static void expectDword(const char *name, DWORD expected) {
        const emu::RegValue *value = registry().value(HKEY_LOCAL_MACHINE, kServiceKey, name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_EQ(value->type, REG_DWORD) << name;
        ASSERT_EQ(value->data.size(), 4u) << name;
        DWORD data = 0;
        std::memcpy(&data, value->data.data(), 4);
        EXPECT_EQ(data, expected) << name;
    }
};

TEST_F(ServiceRegistration, WritesTheSevenValuesWithTheirTypesAndSizes) {
    registry().setString(HKEY_LOCAL_MACHINE, kServiceKey, "Group", "Network");
    EXPECT_EQ(CreateServiceEX("C:\\Program Files\\Brevanta\\Quillane"), 1);
    // A path with a blank is quoted, one without stays bare.
    expectText("ImagePath", "\"C:\\Program Files\\Brevanta\\Quillane\\QLNSYNCService.exe\"");
    expectDword("ErrorControl", 0);
    expectText("Description", "Brevanta Synchronization Service 5.0");
    expectText("DisplayName", "Brevanta Synchronization Service 5.0");
    expectText("ObjectName", "LocalSystem");
    expectDword("Start", 2);
    expectDword("Type", 0x110);
    // What was there before stays.
    EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, kServiceKey, "Group"), "Network");
    EXPECT_EQ(registry().find(HKEY_LOCAL_MACHINE, kServiceKey)->values.size(), 8u);

    EXPECT_EQ(CreateServiceEX("D:\\Quillane"), 1);
    expectText("ImagePath", "D:\\Quillane\\QLNSYNCService.exe");
}

TEST_F(ServiceRegistration, NothingIsWrittenWithoutTheRightToWrite) {
    registry().create(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services")->denyWrite = true;
    EXPECT_EQ(CreateServiceEX("C:\\Quillane"), 0);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, kServiceKey));

    // An existing key that may only be read: every write fails.
    auto key = registry().create(HKEY_LOCAL_MACHINE, kServiceKey);
    key->denyWrite = true;
    EXPECT_EQ(CreateServiceEX("C:\\Quillane"), 0);
    EXPECT_TRUE(key->values.empty());

    EXPECT_EQ(CreateServiceEX(nullptr), 0);
    EXPECT_TRUE(key->values.empty());
}

class DependentServices : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        record_ = root_ + "/standin-record.txt";
        setenv("RADOZAVU_STANDIN_RECORD", record_.c_str(), 1);
        unsetenv("RADOZAVU_REZEDEV_RESULT");
    }
    void TearDown() override {
        unsetenv("RADOZAVU_STANDIN_RECORD");
        unsetenv("RADOZAVU_REZEDEV_RESULT");
        MachineTest::TearDown();
    }
    // Puts a stand-in library on the machine as folder\Rezedev.dll.
    void installLibrary(const std::string &folder, const char *standin = "Rezedev.dll") {
        makeFolder(folder);
        std::filesystem::copy_file(std::string(RADOZAVU_STANDIN_FOLDER) + "/" + standin,
                                   hostPath(folder) + "/Rezedev.dll");
    }
    [[nodiscard]] std::string recorded() const {
        std::ifstream in(record_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string record_;
};

TEST_F(DependentServices, LibraryIsCalledForTheServiceAndItsAnswerPassedOn) {
    installLibrary("C:\\Lib");
    setenv("RADOZAVU_REZEDEV_RESULT", "7", 1);
    EXPECT_EQ(HKAdd2DependentServicesEX("C:\\Lib"), 7);
    setenv("RADOZAVU_REZEDEV_RESULT", "0", 1);
    SetupCallRecord record{};
    record.ParamText = "C:\\Lib";
    EXPECT_EQ(HKAdd2DependentServices(&record), 0);
    // Loaded once and kept: the second call finds it loaded.
    EXPECT_EQ(recorded(), "load Rezedev.dll\n"
                          "HKConfigureDependentServices QLNSvc40 1\n"
                          "HKConfigureDependentServices QLNSvc40 1\n");
    ASSERT_EQ(machine().processes.libraries.size(), 1u);
    EXPECT_EQ(machine().processes.libraries[0].machinePath, "C:\\Lib\\Rezedev.dll");
}

TEST_F(DependentServices, NothingToDoOrNothingToCall) {
    EXPECT_EQ(HKAdd2DependentServicesEX(nullptr), 1);
    EXPECT_EQ(HKAdd2DependentServices(nullptr), 1);
    SetupCallRecord record{};
    EXPECT_EQ(HKAdd2DependentServices(&record), 1);
    // An empty folder is no folder: the library at the drive's root stays unloaded.
    installLibrary("C:\\");
    EXPECT_EQ(HKAdd2DependentServicesEX(""), 1);
    record.ParamText = "";
    EXPECT_EQ(HKAdd2DependentServices(&record), 1);
    EXPECT_TRUE(machine().processes.libraries.empty());

    makeFolder("C:\\Empty");
    EXPECT_EQ(HKAdd2DependentServicesEX("C:\\Empty"), 0);

    // A library without the entry point is loaded, not called, and kept.
    installLibrary("C:\\Other", "ZepProj.dll");
    EXPECT_EQ(HKAdd2DependentServicesEX("C:\\Other"), 0);
    EXPECT_EQ(machine().processes.libraries.size(), 1u);
    EXPECT_EQ(recorded(), "load ZepProj.dll\n");
}

// Rezedev.dll's own imports come from its folder, never from the setup
// program's: on Windows XP through LOAD_WITH_ALTERED_SEARCH_PATH, on Windows
// 10 through the safe search flags. A broken copy planted beside the setup
// program would fail the load.
TEST_F(DependentServices, TheLibrarysImportsComeFromItsOwnFolder) {
    installLibrary("C:\\Lib");
    std::filesystem::copy_file(std::string(RADOZAVU_STANDIN_FOLDER) + "/importing/ZepShared.dll",
                               hostPath("C:\\Lib") + "/ZepShared.dll");
    writeFile("C:\\Setup\\ZepShared.dll", "planted");
    machine().processes.libraryImports["Rezedev.dll"] = {"ZepShared.dll"};
    for (const DWORD major : {5u, 10u}) {
        SCOPED_TRACE(major);
        machine().system.version.major = major;
        machine().processes.libraries.clear(); // a new installer process
        EXPECT_EQ(HKAdd2DependentServicesEX("C:\\Lib"), 1);
        ASSERT_EQ(machine().processes.libraries.size(), 2u);
        EXPECT_EQ(machine().processes.libraries[0].machinePath, "C:\\Lib\\ZepShared.dll");
    }
}

TEST_F(DependentServices, FolderWithTrailingBackslashGetsASecondOne) {
    installLibrary("C:\\Lib");
    SetupCallRecord record{};
    record.ParamText = "C:\\Lib\\";
    EXPECT_EQ(HKAdd2DependentServices(&record), 1);
    ASSERT_EQ(machine().processes.libraries.size(), 1u);
    EXPECT_EQ(machine().processes.libraries[0].machinePath, "C:\\Lib\\\\Rezedev.dll");
}

} // namespace
