// Whole exports under injected faults: each scenario runs once without a
// fault to count its registry or file calls, then once for every one of
// those calls failing (once, and from that call on), each time on a fresh
// machine. After every run no handle is open, the export gives its
// documented result, and what must change whole or not at all (a profile
// file, the action log, the provider order, a pending-delete list, a copied
// file) reads either as before the export or as after a run without faults.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "frame/application.h"
#include "emulator/system/calendar.h"
#include "emulator/faults.h"
#include "radozavu.h"
#include "support/machine_test.h"
#include "os/provider_order.h"

namespace fs = std::filesystem;

namespace {

using emu::FaultArea;

constexpr const char *kAbsent = "(absent)";

struct Step {
    FaultArea area;
    std::uint64_t call;  // the call that fails, from 1
    std::uint64_t calls; // calls of the area in a run without faults
    DWORD error;
    bool forGood; // every call from there on fails too
};

struct Scenario {
    std::function<void()> arrange = [] {};
    std::function<void()> act = [] {};
    // The state that changes whole or not at all.
    std::function<std::string()> wholeOrNothing = nullptr;
    // One more state it may be left in when every call fails from some call
    // on, so that the export cannot undo a step it has taken.
    std::optional<std::string> orWhenFailingForGood = std::nullopt;
    // Further promises, checked after every run.
    std::function<void(const Step &)> check = [](const Step &) {};
};

class FaultWalk : public MachineTest {
protected:
    void walk(FaultArea area, const Scenario &scenario) {
        freshMachine();
        scenario.arrange();
        const std::string before = observe(scenario);
        const std::uint64_t start = machine().faults.calls(area);
        scenario.act();
        const std::uint64_t calls = machine().faults.calls(area) - start;
        const std::string after = observe(scenario);
        EXPECT_EQ(emu::openHandleCount(), 0u);
        scenario.check(Step{area, 0, calls, ERROR_SUCCESS, false});
        ASSERT_GT(calls, 0u) << "the scenario makes no call that could fail";

        static const DWORD kErrors[] = {ERROR_ACCESS_DENIED, ERROR_DISK_FULL,
                                        ERROR_SHARING_VIOLATION};
        for (std::uint64_t call = 1; call <= calls; ++call) {
            for (const bool forGood : {false, true}) {
                const Step step{area, call, calls, kErrors[(call + (forGood ? 1 : 0)) % 3],
                                forGood};
                freshMachine();
                scenario.arrange();
                machine().faults.failCall(area, call, step.error, {},
                                          forGood ? emu::Faults::kEveryCall : 1);
                scenario.act();
                SCOPED_TRACE(describe(step));
                ASSERT_FALSE(machine().faults.struck().empty()) << "the fault never struck";
                EXPECT_EQ(emu::openHandleCount(), 0u) << "a handle was left open";
                const std::string now = observe(scenario);
                EXPECT_TRUE(now == before || now == after ||
                            (forGood && now == scenario.orWhenFailingForGood))
                    << "left as: " << now << "\nbefore: " << before << "\nafter: " << after;
                scenario.check(step);
                if (HasFailure()) {
                    return; // the first step that breaks a promise tells enough
                }
            }
        }
    }

    // The text of a file, or kAbsent.
    [[nodiscard]] std::string contentOf(const std::string &machinePath) const {
        return fileExists(machinePath) ? readFile(machinePath) : kAbsent;
    }

    // Files a replace or copy left beside their target ("*.~new", "*.~copy").
    [[nodiscard]] std::vector<std::string> leftovers(const std::string &machineFolder) const {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(hostPath(machineFolder), error)) {
            const std::string name = entry.path().filename().string();
            if (name.find(".~") != std::string::npos) {
                found.push_back(name);
            }
        }
        return found;
    }

    static std::string value(HKEY root, const std::string &key, const std::string &name) {
        const emu::RegValue *stored = emu::machine().registry.value(root, key, name);
        return stored != nullptr ? std::string(stored->data.begin(), stored->data.end()) : kAbsent;
    }

    static std::size_t struckBy(const std::string &operation) {
        const auto &struck = emu::machine().faults.struck();
        return static_cast<std::size_t>(
            std::count_if(struck.begin(), struck.end(), [&](const std::string &entry) {
                return entry.rfind(operation + " ", 0) == 0;
            }));
    }

private:
    static std::string observe(const Scenario &scenario) {
        return scenario.wholeOrNothing ? scenario.wholeOrNothing() : std::string();
    }

    static std::string describe(const Step &step) {
        std::string text = std::string(step.area == FaultArea::Registry ? "registry" : "file") +
                           " call " + std::to_string(step.call) + " of " +
                           std::to_string(step.calls) + " fails with " +
                           std::to_string(step.error) +
                           (step.forGood ? ", and every call after it" : ", once") + "; struck:";
        for (const std::string &entry : emu::machine().faults.struck()) {
            text += "\n  " + entry;
        }
        return text;
    }
};

constexpr FaultArea kBothAreas[] = {FaultArea::Registry, FaultArea::Files};

// ---- The network provider order, traced to the debug log ----

constexpr const char *kWindowsIni = "C:\\WINDOWS\\QLNQUILL.INI";

class ProviderOrderWalk : public FaultWalk {
protected:
    void arrangeOrder(const std::string &order) const {
        registry().setString(HKEY_LOCAL_MACHINE, os::kOrderKey, "ProviderOrder", order);
        emu::setLocalTime(2006, 3, 7, 14, 5);
        writeFile(kWindowsIni, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\nMaxLine=999\r\n");
    }

    // The stored order, the terminator a test stored it with dropped.
    static std::string order() {
        const std::string stored = value(HKEY_LOCAL_MACHINE, os::kOrderKey, "ProviderOrder");
        return stored.substr(0, stored.find('\0'));
    }

    // The debug log is a profile file that every write replaces whole: each
    // line is its section's header or a key and its value, and no new file
    // is left beside it.
    void expectWholeDebugLog() const {
        const std::string content = readFile(kWindowsIni);
        EXPECT_TRUE(content.size() >= 2 && content.compare(content.size() - 2, 2, "\r\n") == 0)
            << content;
        static const std::regex kLine(R"(\[DebugIniMsgs\]|[A-Za-z0-9]+=.*)");
        std::size_t start = 0;
        for (std::size_t end = content.find("\r\n"); end != std::string::npos;
             start = end + 2, end = content.find("\r\n", start)) {
            const std::string line = content.substr(start, end - start);
            EXPECT_TRUE(std::regex_match(line, kLine)) << "torn line: " << line;
        }
        EXPECT_EQ(leftovers("C:\\WINDOWS"), std::vector<std::string>{});
    }

    Scenario scenario(const std::string &stored, int (*change)(),
                      std::optional<std::string> takenOut = std::nullopt) {
        return Scenario{
            .arrange = [this, stored] { arrangeOrder(stored); },
            .act = [change] { EXPECT_EQ(change(), 0); },
            .wholeOrNothing = [] { return order(); },
            .orWhenFailingForGood = std::move(takenOut),
            .check = [this](const Step &) { expectWholeDebugLog(); },
        };
    }
};

TEST_F(ProviderOrderWalk, AnAddThatFailsLeavesTheOrderAsItWasOrDone) {
    const std::string longOrder = std::string(300, 'p') + ",RDPNP";
    for (const FaultArea area : kBothAreas) {
        walk(area, scenario("RDPNP,LanmanWorkstation", &HKAddNetworkProviderEX));
        walk(area, scenario(longOrder, &HKAddNetworkProviderEX));
        walk(area, scenario("QLNNET,RDPNP", &HKAddNetworkProviderEX));
    }
}

// Moving QLNNET to the head takes two writes: the remove, then the add.
// When the add cannot store its order the one that was there is put back,
// so QLNNET is not lost; only a registry that refuses every write from the
// remove on leaves it taken out.
TEST_F(ProviderOrderWalk, AMoveToTheHeadThatFailsNeverLosesTheProvider) {
    for (const FaultArea area : kBothAreas) {
        walk(area, scenario("RDPNP,QLNNET,LanmanWorkstation", &HKAddNetworkProviderEX,
                            "RDPNP,LanmanWorkstation"));
        walk(area, scenario(std::string(300, 'p') + ",QLNNET", &HKAddNetworkProviderEX,
                            std::string(300, 'p') + ","));
    }
}

TEST_F(ProviderOrderWalk, ARemoveThatFailsLeavesTheOrderAsItWasOrDone) {
    for (const FaultArea area : kBothAreas) {
        walk(area, scenario("RDPNP,QLNNET,LanmanWorkstation", &HKRemoveNetworkProviderEX));
        walk(area, scenario("QLNNET", &HKRemoveNetworkProviderEX));
    }
}

// ---- Files the library appends to or replaces ----

TEST_F(FaultWalk, TheActionLogIsNeverTruncatedNorGivenHalfALine) {
    const std::string setupIni = "C:\\Setup\\QLNSETUP.INI";
    const std::string log = "C:\\Logs\\install.log";
    walk(FaultArea::Files,
         {.arrange =
              [&] {
                  emu::setLocalTime(2006, 3, 7, 14, 5);
                  writeFile(setupIni, "[Configuration]\r\nInstallActionLog=" + log + "\r\n");
                  writeFile(log, "Mon Mar 06 09:00 AM 2006 : Started\r\n");
              },
          .act =
              [&] {
                  const std::string text = setupIni + "|Copied files";
                  SetupCallRecord record{};
                  record.ParamText = text.c_str();
                  EXPECT_EQ(HKSetupAddActionLog(&record), 0);
              },
          .wholeOrNothing = [&] { return contentOf(log); }});
}

TEST_F(FaultWalk, TheCommonDesktopAnswerFileIsReplacedWhole) {
    const std::string answerFile = "C:\\Setup\\answer.ini";
    walk(FaultArea::Files, {.arrange = [&] { writeFile(answerFile, "[Other]\r\nKept=1\r\n"); },
                            .act =
                                [&] {
                                    SetupCallRecord record{};
                                    record.ParamText = answerFile.c_str();
                                    EXPECT_EQ(HKSetupGetCommonDesktopFolderLocation(&record), 0);
                                },
                            .wholeOrNothing = [&] { return contentOf(answerFile); },
                            .check =
                                [&](const Step &) {
                                    EXPECT_EQ(leftovers("C:\\Setup"), std::vector<std::string>{});
                                }});
}

TEST_F(FaultWalk, APreferencesFileIsCopiedWholeOrNotAtAll) {
    const std::string target = "C:\\Program Files\\Brevanta\\Quillane";
    const std::string installed = target + "\\QLNINIT.INI";
    walk(
        FaultArea::Files,
        {.arrange =
             [&] {
                 writeFile("C:\\Setup\\QLNINIT.INI", "[Initial]\r\n" + std::string(5000, 'x'));
                 writeFile(installed, "[Initial]\r\nOld=1\r\n");
             },
         .act = [&] { EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup", target.c_str()), 1); },
         .wholeOrNothing = [&] { return contentOf(installed); },
         .check = [&](const Step &) { EXPECT_EQ(leftovers(target), std::vector<std::string>{}); }});
}

TEST_F(FaultWalk, EachIniFileIsCopiedWholeOrNotAtAll) {
    const std::vector<std::string> names = {"a.ini", "b.ini", "c.ini"};
    int result = -1;
    walk(FaultArea::Files,
         {.arrange =
              [&] {
                  for (const std::string &name : names) {
                      writeFile("C:\\Setup\\" + name,
                                "[" + name + "]\r\n" + std::string(3000, 'v'));
                      writeFile("C:\\App\\" + name, "old");
                  }
              },
          .act = [&] { result = MoveAllINIFilesEX("C:\\Setup\\", "C:\\App\\"); },
          .check =
              [&](const Step &) {
                  EXPECT_EQ(result, struckBy("FindFirstFileA") != 0 ? 0 : 1);
                  for (const std::string &name : names) {
                      const std::string copy = readFile("C:\\App\\" + name);
                      EXPECT_TRUE(copy == "old" || copy == readFile("C:\\Setup\\" + name)) << name;
                  }
                  EXPECT_EQ(leftovers("C:\\App"), std::vector<std::string>{});
              }});
}

TEST_F(FaultWalk, ACompressedCopyThatFailsIsReportedAndOneReportedIsWhole) {
    std::string source(20000, '\0');
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<char>((i * 7919) % 251);
    }
    const char *result = nullptr;
    walk(FaultArea::Files, {.arrange = [&] { writeFile("C:\\data\\plain.bin", source); },
                            .act =
                                [&] {
                                    result = QLNSetupCompressFile("C:\\data\\plain.bin",
                                                                  "C:\\data\\packed.gz", 9);
                                },
                            .check =
                                [&](const Step &step) {
                                    // Every file call of the compression decides whether the copy
                                    // is whole.
                                    EXPECT_EQ(result != nullptr, step.call == 0);
                                }});

    walk(FaultArea::Files,
         {.arrange =
              [&] {
                  writeFile("C:\\data\\plain.bin", source);
                  ASSERT_NE(QLNSetupCompressFile("C:\\data\\plain.bin", "C:\\data\\packed.gz", 9),
                            nullptr);
              },
          .act =
              [&] { result = QLNSetupUncompressFile("C:\\data\\packed.gz", "C:\\data\\copy.bin"); },
          .check =
              [&](const Step &) {
                  if (result != nullptr) {
                      EXPECT_EQ(readFile("C:\\data\\copy.bin"), source);
                  }
                  // Only a failed close of the compressed source, read to its
                  // end already, leaves the copy whole.
                  EXPECT_EQ(result != nullptr,
                            machine().faults.struck().size() == struckBy("gzclose"));
              }});
}

// ---- Registry edits ----

TEST_F(FaultWalk, TheServiceKeyReportsEveryValueItCouldNotWrite) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40";
    int result = -1;
    walk(FaultArea::Registry,
         {.act = [&] { result = CreateServiceEX("C:\\Program Files\\Brevanta\\Quillane"); },
          .check =
              [&](const Step &step) {
                  EXPECT_EQ(result, step.call == 0 ? 1 : 0);
                  if (struckBy("RegCreateKeyA") != 0) {
                      EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, key));
                      return;
                  }
                  // Every value is tried: only those whose own write failed are missing.
                  static const char *const kValues[] = {
                      "ImagePath",  "ErrorControl", "Description", "DisplayName",
                      "ObjectName", "Start",        "Type"};
                  const auto missing = static_cast<std::size_t>(
                      std::count_if(std::begin(kValues), std::end(kValues), [&](const char *name) {
                          return value(HKEY_LOCAL_MACHINE, key, name) == kAbsent;
                      }));
                  EXPECT_EQ(missing, struckBy("RegSetValueExA"));
              }});
}

TEST_F(FaultWalk, TheSetupTimeIsStoredWholeOrNotAtAll) {
    walk(FaultArea::Registry,
         {.arrange = [] { emu::machine().registry.create(HKEY_LOCAL_MACHINE, "Software"); },
          .act = [] { EXPECT_EQ(HKUpdateSetupDateInRegistryEX(), 0); },
          .wholeOrNothing =
              [] {
                  return value(HKEY_LOCAL_MACHINE, "Software\\Brevanta\\Quillane\\Preferences",
                               "LastSetupTime");
              }});
}

TEST_F(FaultWalk, ARegistryDeletionIsReportedDoneOnlyWhenDone) {
    const std::string runOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    const std::string sourceList = "SOFTWARE\\Classes\\Installer\\Products\\ABC123\\SourceList";
    int result = -1;
    const auto arrange = [&] {
        registry().setString(HKEY_LOCAL_MACHINE, runOnce, "CleanQlClient", "cleanup.exe");
        registry().setString(HKEY_LOCAL_MACHINE, sourceList, "PackageName", "quillane.msi");
    };
    const auto doneOnlyWhenGone = [&](const std::string &key, const char *name) {
        return [&result, key, name](const Step &) {
            EXPECT_EQ(result == 1, value(HKEY_LOCAL_MACHINE, key, name) == kAbsent);
        };
    };
    walk(FaultArea::Registry, {.arrange = arrange,
                               .act = [&] { result = CancelUninstallEX(); },
                               .check = doneOnlyWhenGone(runOnce, "CleanQlClient")});
    walk(FaultArea::Registry,
         {.arrange = arrange,
          .act = [&] { result = HKDelRegistryEntry(2, runOnce.c_str(), "CleanQlClient"); },
          .check = doneOnlyWhenGone(runOnce, "CleanQlClient")});
    walk(FaultArea::Registry, {.arrange = arrange,
                               .act = [&] { result = DeleteRegPackageNameEX("ABC123"); },
                               .check = doneOnlyWhenGone(sourceList, "PackageName")});
}

TEST_F(FaultWalk, APendingDeleteIsAddedToTheListWholeOrNotAtAll) {
    const std::string sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    for (const FaultArea area : kBothAreas) {
        walk(area, {.arrange =
                        [&] {
                            writeFile("C:\\App\\BIN\\MFC42.DLL", "old library");
                            machine().files.filesInUse.push_back("C:\\App\\BIN\\MFC42.DLL");
                            registry().setBinary(
                                HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations",
                                {'\\', '?', '?', '\\', 'C', ':', '\\', 'x', 0, 0, 0}, REG_MULTI_SZ);
                        },
                    .act =
                        [] {
                            SetupCallRecord record{};
                            record.ParamText = "C:\\App";
                            EXPECT_EQ(HKSetupCleanUpOldFiles(&record), 0);
                        },
                    .wholeOrNothing =
                        [&] {
                            return value(HKEY_LOCAL_MACHINE, sessionManager,
                                         "PendingFileRenameOperations");
                        }});
    }
}

// ---- Reads that fall back to their defaults ----

TEST_F(FaultWalk, TheDisplayNameIsTheStoredOneOrTheDefault) {
    const std::string stored = "Quillane " + std::string(300, 'n');
    walk(FaultArea::Registry,
         {.arrange =
              [&] {
                  registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName",
                                       stored);
              },
          .act = [] { reloadLibrary(); },
          .check =
              [&](const Step &) {
                  const std::string &name = frame::productDisplayName();
                  EXPECT_TRUE(name == stored.substr(0, 259) || name == "Quillane") << name;
              }});
}

TEST_F(FaultWalk, ASettingIsTheStoredOneOrTheDefault) {
    std::string group;
    std::string program;
    walk(FaultArea::Files,
         {.arrange =
              [&] {
                  writeFile(
                      "C:\\Setup\\QLNSETUP.INI",
                      "[Configuration]\r\nProgramGroup=Quillane Tools\r\n"
                      "ShowErrorMessages=YES\r\nExecuteOnCompletion=C:\\Setup\\SETUP.EXE\r\n");
                  writeFile("C:\\Setup\\SETUP.EXE", "");
              },
          .act =
              [&] {
                  group = GetProgramGroup("C:\\Setup\\");
                  program = GetExecuteOnCompletion("C:\\Setup\\");
              },
          .check =
              [&](const Step &) {
                  EXPECT_TRUE(group == "Quillane Tools" || group == "Quillane") << group;
                  EXPECT_TRUE(program == "C:\\Setup\\SETUP.EXE" || program == "Error Reading Value")
                      << program;
                  // The user hears of a missing program only when the result says so.
                  EXPECT_LE(machine().processes.user.messageBoxes.size(),
                            program == "Error Reading Value" ? 1u : 0u);
              }});
}

TEST_F(FaultWalk, ARestartIsAskedForWhateverFails) {
    for (const FaultArea area : kBothAreas) {
        walk(area, {.arrange =
                        [&] {
                            registry().create(HKEY_LOCAL_MACHINE, "Software");
                            registry().create(HKEY_CURRENT_USER, "Software");
                            machine().system.version = emu::VersionInfo{
                                VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6a", false};
                            writeFile("C:\\Program Files\\Brevanta\\Quillane\\QLNQUILL.INI",
                                      "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
                        },
                    .act = [] { EXPECT_EQ(HKSetupRebootComputer(nullptr), 0); },
                    .check =
                        [](const Step &) {
                            EXPECT_EQ(emu::machine().system.restartRequests.size(), 1u);
                        }});
    }
}

} // namespace
