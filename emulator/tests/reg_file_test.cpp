// The registry file importer of the emulated machine: what each kind of line
// does to the registry, and malformed files refused whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "emulator/persistence/registry_export.h"
#include "emulator/registry/reg_file.h"
#include "platform/registry.h"
#include "support/machine_test.h"

namespace {

using Bytes = std::vector<BYTE>;

class RegFileTest : public MachineTest {
protected:
    // Parses and applies a file; the test fails if the file is refused.
    void import(const std::string &text) {
        const emu::RegFileParse parse = emu::parseRegFile(text);
        ASSERT_TRUE(parse.valid) << parse.problem;
        EXPECT_EQ(emu::applyRegFile(registry(), parse.operations), 0u);
    }
    Bytes data(HKEY root, const std::string &path, const std::string &name) {
        const emu::RegValue *value = registry().value(root, path, name);
        return value != nullptr ? value->data : Bytes{};
    }
    DWORD type(HKEY root, const std::string &path, const std::string &name) {
        const emu::RegValue *value = registry().value(root, path, name);
        return value != nullptr ? value->type : REG_NONE;
    }
    static Bytes bytes(const std::string &text) { return Bytes(text.begin(), text.end()); }
};

TEST_F(RegFileTest, Regedit4FileSetsEveryKindOfValue) {
    import("REGEDIT4\r\n"
           "\r\n"
           "; the product's initial settings\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Brevanta\\Quillane\\Preferences]\r\n"
           "@=\"default text\"\r\n"
           "\"CacheFolder\"=\"C:\\\\Program Files\\\\\\\"Cache\\\"\" ; trailing comment\r\n"
           "\"Odd\\Name\"=\"a\\tb\"\r\n"
           "\"Interval\"=dword:0000012c\r\n"
           "\"Short\"=dword:2A\r\n"
           "\"Key\"=hex:01,02,fe,\\\r\n"
           "  FF,0a\r\n"
           "\"Empty\"=hex:\r\n"
           "\"Expand\"=hex(2):25,57,49,4e,44,49,52,25,00\r\n"
           "\"List\"=hex(7):61,00,62,00,00\r\n"
           "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
           "\r\n"
           "[HKEY_CURRENT_USER\\Software\\Brevanta\\Quillane\\Empty Key]\r\n");
    const std::string key = "Software\\Brevanta\\Quillane\\Preferences";
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    EXPECT_EQ(registry().stringValue(hklm, key, ""), "default text");
    EXPECT_EQ(registry().stringValue(hklm, key, "CacheFolder"), "C:\\Program Files\\\"Cache\"");
    EXPECT_EQ(type(hklm, key, "CacheFolder"), REG_SZ);
    EXPECT_EQ(data(hklm, key, "CacheFolder").back(), 0); // stored with its terminator
    EXPECT_EQ(registry().stringValue(hklm, key, "Odd\\Name"), "a\\tb"); // no other escapes
    EXPECT_EQ(data(hklm, key, "Interval"), (Bytes{0x2C, 0x01, 0, 0}));
    EXPECT_EQ(type(hklm, key, "Interval"), REG_DWORD);
    EXPECT_EQ(data(hklm, key, "Short"), (Bytes{0x2A, 0, 0, 0}));
    EXPECT_EQ(data(hklm, key, "Key"), (Bytes{1, 2, 0xFE, 0xFF, 0x0A}));
    EXPECT_EQ(type(hklm, key, "Key"), REG_BINARY);
    ASSERT_NE(registry().value(hklm, key, "Empty"), nullptr);
    EXPECT_TRUE(data(hklm, key, "Empty").empty());
    // A REGEDIT4 file holds text data in the ANSI code page already.
    EXPECT_EQ(data(hklm, key, "Expand"), bytes(std::string("%WINDIR%") + '\0'));
    EXPECT_EQ(type(hklm, key, "Expand"), REG_EXPAND_SZ);
    EXPECT_EQ(data(hklm, key, "List"), (Bytes{'a', 0, 'b', 0, 0}));
    EXPECT_EQ(type(hklm, key, "List"), REG_MULTI_SZ);
    EXPECT_EQ(type(hklm, key, "Quad"), 11u);
    EXPECT_EQ(data(hklm, key, "Quad").size(), 8u);
    EXPECT_TRUE(registry().keyExists(HKEY_CURRENT_USER, "Software\\Brevanta\\Quillane\\Empty Key"));
}

TEST_F(RegFileTest, Version5TextDataIsUtf16AndTurnsIntoAnsi) {
    import("Windows Registry Editor Version 5.00\n"
           "[HKCU\\Software\\Test]\n"
           "\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n"
           "\"List\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n"
           "\"Text\"=\"plain\"\n");
    EXPECT_EQ(data(HKEY_CURRENT_USER, "Software\\Test", "Expand"),
              bytes(std::string("%TEMP%") + '\0'));
    EXPECT_EQ(data(HKEY_CURRENT_USER, "Software\\Test", "List"), (Bytes{'a', 0, 0xE9, 0, 0}));
    EXPECT_EQ(registry().stringValue(HKEY_CURRENT_USER, "Software\\Test", "Text"), "plain");

    // A file saved as UTF-16 with its byte order mark: "é" becomes 0xE9 of
    // code page 1252, "€" 0x80, and a character 1252 lacks becomes '?'.
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n"
                                u"[HKEY_CURRENT_USER\\Software\\Wide]\r\n"
                                u"\"Name\"=\"caf\u00e9 \u20ac \u4e00\"\r\n";
    std::string wide = "\xFF\xFE";
    for (const char16_t unit : text) {
        wide += static_cast<char>(unit & 0xFF);
        wide += static_cast<char>(unit >> 8);
    }
    import(wide);
    EXPECT_EQ(registry().stringValue(HKEY_CURRENT_USER, "Software\\Wide", "Name"),
              "caf\xE9 \x80 ?");
}

TEST_F(RegFileTest, DeletionsRemoveKeysWithTheirSubkeysAndSingleValues) {
    registry().setString(HKEY_CURRENT_USER, "Software\\Old\\Deep\\Deeper", "v", "x");
    registry().setString(HKEY_CURRENT_USER, "Software\\Keep", "gone", "x");
    registry().setString(HKEY_CURRENT_USER, "Software\\Keep", "stays", "y");
    handles::UniqueKey open;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Old\\Deep", 0, KEY_READ, open.put()),
              ERROR_SUCCESS);

    import("REGEDIT4\n"
           "[-HKEY_CURRENT_USER\\Software\\Old]\n"
           "[-HKEY_CURRENT_USER\\Software\\Never\\There]\n"
           "[HKEY_CURRENT_USER\\Software\\Keep]\n"
           "\"gone\"=-\n"
           "\"absent\"=-\n");
    EXPECT_FALSE(registry().keyExists(HKEY_CURRENT_USER, "Software\\Old"));
    EXPECT_TRUE(registry().keyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(registry().value(HKEY_CURRENT_USER, "Software\\Keep", "gone"), nullptr);
    EXPECT_EQ(registry().stringValue(HKEY_CURRENT_USER, "Software\\Keep", "stays"), "y");
    // A key still open when it was deleted answers as Windows' does.
    DWORD size = 0;
    EXPECT_EQ(win::RegQueryValueExA(open.get(), "v", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_KEY_DELETED));
}

TEST_F(RegFileTest, MalformedFilesAreRefusedWhole) {
    const struct {
        const char *text;
        const char *problem; // a piece of the reason given
    } cases[] = {
        {"", "REGEDIT4"},
        {"[HKEY_CURRENT_USER\\Software\\A]\n\"v\"=\"x\"\n", "REGEDIT4"},
        {"REGEDIT5\n", "REGEDIT4"},
        {"REGEDIT4\n[HKEY_NOWHERE\\Software]\n", "line 2: unknown root key"},
        {"REGEDIT4\n\"v\"=\"x\"\n", "line 2: a value must follow the key"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\A\n", "line 2"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\\\A]\n", "line 2: a key name is empty"},
        {"REGEDIT4\n[-HKEY_CURRENT_USER]\n", "line 2: a root key cannot be deleted"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=\"x\n", "line 3: the text has no closing quote"},
        {"REGEDIT4\n[HKCU\\A]\n\"v=\"x\"\n", "line 3"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\" \"x\"\n", "line 3: '=' must follow"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=\"x\" y\n", "line 3: unexpected text"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=dword:\n", "line 3: dword:"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=dword:123456789\n", "line 3: dword:"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex:01,zz\n", "line 3: hex data"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex:01,\n", "line 3: hex data ends in a comma"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex:01,\\\n", "the file ends inside a continued value"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=hex(x):01\n", "line 3: hex(n)"},
        {"REGEDIT4\n[HKCU\\A]\n\"v\"=string:x\n", "line 3: the value's data"},
        {"REGEDIT4\n[-HKCU\\A]\n\"v\"=\"x\"\n", "line 3: a value must follow the key"},
        {"REGEDIT4\n[HKCU\\A]\nv=x\n", "line 3: a key, a value or a comment was expected"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\A]\n\"v\"=hex(2):41,00,42\n",
         "line 3: text data in hex needs an even number of bytes"},
    };
    for (const auto &testCase : cases) {
        const emu::RegFileParse parse = emu::parseRegFile(testCase.text);
        EXPECT_FALSE(parse.valid) << testCase.text;
        EXPECT_NE(parse.problem.find(testCase.problem), std::string::npos)
            << testCase.text << " gave: " << parse.problem;
        EXPECT_TRUE(parse.operations.empty()) << testCase.text;
    }
}

TEST_F(RegFileTest, KeysThatRefuseWritingAreSkippedAndTheRestApplied) {
    registry().create(HKEY_LOCAL_MACHINE, "Software\\Locked")->denyWrite = true;
    const emu::RegFileParse parse =
        emu::parseRegFile("REGEDIT4\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Locked]\n"
                          "\"v\"=\"x\"\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Locked\\Sub]\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Open]\n"
                          "\"v\"=\"y\"\n");
    ASSERT_TRUE(parse.valid) << parse.problem;
    EXPECT_EQ(emu::applyRegFile(registry(), parse.operations), 3u);
    EXPECT_EQ(registry().value(HKEY_LOCAL_MACHINE, "Software\\Locked", "v"), nullptr);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, "Software\\Locked\\Sub"));
    EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, "Software\\Open", "v"), "y");
}

TEST_F(RegFileTest, DoubleByteCharactersWithABackslashTrailByteStayWhole) {
    machine().system.codePage = 932;
    const std::size_t softwareKeys = registry().find(HKEY_CURRENT_USER, "Software")->subkeys.size();
    // 0x83 0x5C is one Shift-JIS character whose trail byte is a backslash.
    import("REGEDIT4\n"
           "[HKEY_CURRENT_USER\\Software\\\x83\x5C]\n"
           "\"\x83\x5C\"=\"\x83\x5C\"\n");
    const std::string name = "\x83\x5C";
    ASSERT_TRUE(registry().keyExists(HKEY_CURRENT_USER, "Software\\" + name));
    EXPECT_EQ(registry().find(HKEY_CURRENT_USER, "Software")->subkeys.size(), softwareKeys + 1);
    EXPECT_EQ(registry().stringValue(HKEY_CURRENT_USER, "Software\\" + name, name), name);
}

// A registry written out and read back is the registry it was: the machine
// folders of the command-line host keep their registry this way.
class RegistryRoundTrip : public RegFileTest {
protected:
    // Writes the machine's registry as a file, reads it into a fresh
    // registry and gives that value's bytes.
    Bytes afterSaveAndLoad(HKEY root, const std::string &path, const std::string &name) {
        const std::string saved = emu::exportRegistry(registry());
        const emu::RegFileParse parse = emu::parseRegFile(saved, emu::RegFileSource::MachineState);
        EXPECT_TRUE(parse.valid) << parse.problem << "\n" << saved;
        emu::Registry loaded;
        EXPECT_EQ(emu::applyRegFile(loaded, parse.operations), 0u);
        const emu::RegValue *value = loaded.value(root, path, name);
        EXPECT_NE(value, nullptr) << name;
        return value != nullptr ? value->data : Bytes{};
    }
};

TEST_F(RegistryRoundTrip, TextTypesInHexKeepTheirExactBytes) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const Bytes pending = bytes(std::string("\\??\\C:\\App\\BIN\\MFC42.DLL\0\0\0", 27));
    registry().setBinary(HKEY_LOCAL_MACHINE, key, "PendingFileRenameOperations", pending,
                         REG_MULTI_SZ);
    registry().setBinary(HKEY_LOCAL_MACHINE, key, "Odd", bytes(std::string("abc\0", 4)),
                         REG_EXPAND_SZ);
    registry().setString(HKEY_LOCAL_MACHINE, key, "Lines", "one\r\ntwo");
    EXPECT_EQ(afterSaveAndLoad(HKEY_LOCAL_MACHINE, key, "PendingFileRenameOperations"), pending);
    EXPECT_EQ(afterSaveAndLoad(HKEY_LOCAL_MACHINE, key, "Odd"), bytes(std::string("abc\0", 4)));
    EXPECT_EQ(afterSaveAndLoad(HKEY_LOCAL_MACHINE, key, "Lines"),
              bytes(std::string("one\r\ntwo\0", 9)));
}

TEST_F(RegistryRoundTrip, DoubleByteNamesAndTextKeepTheirBackslashTrailBytes) {
    machine().system.codePage = 932;
    const std::string japanese = "\x95\x5C"; // a character whose trail byte is a backslash
    registry().setString(HKEY_LOCAL_MACHINE, "Software\\" + japanese, japanese + "\\",
                         japanese + "\"" + japanese);
    EXPECT_EQ(afterSaveAndLoad(HKEY_LOCAL_MACHINE, "Software\\" + japanese, japanese + "\\"),
              bytes(japanese + "\"" + japanese + std::string(1, '\0')));
}

TEST_F(RegistryRoundTrip, BytesThatAreNoCharacterStayAsTheyAre) {
    // A text cut inside a double-byte character, and bytes that code page
    // 1252 leaves undefined.
    machine().system.codePage = 932;
    registry().setString(HKEY_CURRENT_USER, "Software\\Test", "Cut", "abc\x95");
    EXPECT_EQ(afterSaveAndLoad(HKEY_CURRENT_USER, "Software\\Test", "Cut"),
              bytes(std::string("abc\x95\0", 5)));
    machine().system.codePage = 1252;
    registry().setString(HKEY_CURRENT_USER, "Software\\Test", "Undefined", "\x81\x8D\x8F\x90\x9D",
                         REG_EXPAND_SZ);
    EXPECT_EQ(afterSaveAndLoad(HKEY_CURRENT_USER, "Software\\Test", "Undefined"),
              bytes(std::string("\x81\x8D\x8F\x90\x9D\0", 6)));
}

TEST_F(RegistryRoundTrip, NamesOfAnyBytesComeBackAndPlainOnesStayReadable) {
    const std::string longName(emu::kMaxKeyNameLength, 'k'); // the longest Windows allows
    const struct {
        unsigned codePage;
        std::string key;   // below HKCU\Software
        std::string value; // the value's name
    } cases[] = {
        {1252, "Brevanta", "Plain"},
        {1252, "Line\nBreak", "Carriage\rReturn"},
        {1252, "?hex:41", "?hex:not hex"},
        {1252, longName, "Long"},
        {1252, "Undefined\x81\x8D", "Private\xEF\x9D\xAD"},
        {932, "Cut\x95", "Cut\x83"},
        {932, "\x95\x5C", "\x95\x5C\x83"},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.key + " / " + testCase.value);
        machine().system.codePage = testCase.codePage;
        const std::string key = "Software\\" + testCase.key;
        registry().setString(HKEY_CURRENT_USER, key, testCase.value, "x");
        EXPECT_EQ(afterSaveAndLoad(HKEY_CURRENT_USER, key, testCase.value),
                  bytes(std::string("x\0", 2)));
    }
    const std::string saved = emu::exportRegistry(registry());
    EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\Brevanta]\r\n\"Plain\"=\"x\"\r\n"),
              std::string::npos);
}

TEST_F(RegistryRoundTrip, FoldersOfTheEarlierVersionLoadWithTheirEscapedBytes) {
    // Earlier machine folders wrote a "Version 5.00" file whose text in hex
    // kept bytes that are no character as U+F700 plus the byte; an import
    // converts such a character as Windows does.
    const std::string file = "Windows Registry Editor Version 5.00\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                             "\"Undefined\"=hex(1):41,00,81,f7,00,00\r\n";
    const struct {
        emu::RegFileSource source;
        std::string expected;
    } cases[] = {
        {emu::RegFileSource::EarlierMachineState, std::string("A\x81\0", 3)},
        {emu::RegFileSource::Import, std::string("A?\0", 3)},
    };
    for (const auto &testCase : cases) {
        const emu::RegFileParse parse = emu::parseRegFile(file, testCase.source);
        ASSERT_TRUE(parse.valid) << parse.problem;
        ASSERT_EQ(parse.operations.size(), 2u);
        EXPECT_EQ(parse.operations[1].data, bytes(testCase.expected));
    }
}

TEST_F(RegistryRoundTrip, NamesInHexAreReadFromMachineFoldersAlone) {
    const char *file = "REGEDIT4\r\n[HKEY_CURRENT_USER\\?hex:41,0a]\r\n\"?hex:42\"=\"x\"\r\n";
    const emu::RegFileParse machineState =
        emu::parseRegFile(file, emu::RegFileSource::EarlierMachineState);
    ASSERT_TRUE(machineState.valid) << machineState.problem;
    EXPECT_EQ(machineState.operations[1].keyPath, "A\n");
    EXPECT_EQ(machineState.operations[1].valueName, "B");
    const emu::RegFileParse imported = emu::parseRegFile(file);
    ASSERT_TRUE(imported.valid) << imported.problem;
    EXPECT_EQ(imported.operations[1].valueName, "?hex:42");
    for (const char *damaged :
         {"REGEDIT4\n[HKCU\\?hex:4]\n", "REGEDIT4\n[HKCU\\?hex:41,]\n",
          "REGEDIT4\n[HKCU\\?hex:41,5c,42]\n", "REGEDIT4\n[HKCU\\A]\n\"?hex:00\"=\"x\"\n"}) {
        const emu::RegFileParse parse =
            emu::parseRegFile(damaged, emu::RegFileSource::EarlierMachineState);
        EXPECT_FALSE(parse.valid) << damaged;
        EXPECT_NE(parse.problem.find("in hex"), std::string::npos) << parse.problem;
    }
}

} // namespace
