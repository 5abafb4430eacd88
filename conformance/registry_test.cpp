// The registry of the seam: opening and creating keys, values of every type
// with their sizes and terminators, deleting values and keys, and handles.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "case.h"
#include "code_page.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace conformance {
namespace {

// A handle that no open ever gives, to see whether a failed open writes its
// result.
const HKEY kJunkKey = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x4242));

class Registry : public Case {
protected:
    // A subkey of the scratch key, created with every right.
    HKEY create(const char *path) {
        HKEY created = nullptr;
        EXPECT_EQ(win::RegCreateKeyExA(key(), path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                       &created, nullptr),
                  ERROR_SUCCESS)
            << path;
        return created;
    }
    static void close(HKEY handle) { EXPECT_EQ(win::RegCloseKey(handle), ERROR_SUCCESS); }
    // Sets a value and reads back its type and size, asked with no buffer.
    void set(const char *name, DWORD type, const std::string &data) {
        ASSERT_EQ(win::RegSetValueExA(key(), name, 0, type,
                                      reinterpret_cast<const BYTE *>(data.data()),
                                      static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS)
            << name;
    }
    // Reads a value into a buffer of the given size, filled with junk first;
    // gives the whole buffer back, so that what the read left is seen too.
    LONG query(const char *name, DWORD bufferSize, std::string &buffer, DWORD &size) {
        buffer.assign(bufferSize, kJunk);
        size = bufferSize;
        return win::RegQueryValueExA(key(), name, nullptr, nullptr,
                                     reinterpret_cast<BYTE *>(buffer.data()), &size);
    }
};

TEST_F(Registry, KeysOpenWithoutRegardToCaseAndAFailedOpenGivesNoHandle) {
    close(create("Vendor\\Product"));
    const std::string base = std::string(kKeyPath) + "\\";
    const struct {
        std::string path;
        LONG result;
    } opens[] = {
        {base + "VENDOR\\product", ERROR_SUCCESS},
        {base + "Vendor\\Product\\", ERROR_SUCCESS},
        {base + "Vendor\\Missing", ERROR_FILE_NOT_FOUND},
        {"\\" + base + "Vendor", ERROR_BAD_PATHNAME},
    };
    for (const auto &open : opens) {
        HKEY opened = kJunkKey;
        EXPECT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER, open.path.c_str(), 0, KEY_READ, &opened),
                  open.result)
            << open.path;
        if (open.result == ERROR_SUCCESS) {
            close(opened);
        } else {
            EXPECT_EQ(opened, nullptr) << open.path;
        }
    }
}

TEST_F(Registry, CreationMakesTheWholePathAndTellsWhetherTheKeyIsNew) {
    for (const DWORD expected : {DWORD{REG_CREATED_NEW_KEY}, DWORD{REG_OPENED_EXISTING_KEY}}) {
        const char *path = expected == REG_CREATED_NEW_KEY ? "A\\B" : "a\\b";
        HKEY created = nullptr;
        DWORD disposition = 0xdeadbeef;
        ASSERT_EQ(win::RegCreateKeyExA(key(), path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                       nullptr, &created, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, expected) << path;
        close(created);
    }
    HKEY opened = nullptr;
    ASSERT_EQ(win::RegOpenKeyExA(key(), "A", 0, KEY_READ, &opened), ERROR_SUCCESS);
    close(opened);
    EXPECT_EQ(
        win::RegCreateKeyExA(key(), "\\C", 0, nullptr, 0, KEY_READ, nullptr, &opened, nullptr),
        ERROR_BAD_PATHNAME);
}

// Key and value names match without regard to the case of the code page's
// accented letters too (1252: "\xE9" is the small letter of "\xC9").
TEST_F(Registry, NamesMatchAccentedLettersWithoutRegardToCase) {
    close(create("Caf\xE9"));
    set("Fa\xE7"
        "ade",
        REG_DWORD, std::string(4, '\0'));
    HKEY opened = nullptr;
    EXPECT_EQ(win::RegOpenKeyExA(key(), "CAF\xC9", 0, KEY_READ, &opened), ERROR_SUCCESS);
    close(opened);
    EXPECT_EQ(win::RegDeleteValueA(key(), "FA\xC7"
                                          "ADE"),
              ERROR_SUCCESS);
    EXPECT_EQ(win::RegDeleteKeyA(key(), "caf\xC9"), ERROR_SUCCESS);
}

class CodePage932Registry : public Registry {
protected:
    void SetUp() override {
        Registry::SetUp();
        if (!platform::useCodePage(932)) {
            GTEST_SKIP() << "runs where the process has code page 932";
        }
    }
};

// Full-width letters match without regard to case, as their single-byte
// forms do: "\x82\x81" is the small letter of "\x82\x60".
TEST_F(CodePage932Registry, FullWidthLettersMatchWithoutRegardToCase) {
    close(create("\x82\x81"));
    HKEY opened = nullptr;
    EXPECT_EQ(win::RegOpenKeyExA(key(), "\x82\x60", 0, KEY_READ, &opened), ERROR_SUCCESS);
    close(opened);
}

// Windows' size limits: a key name of at most 256 characters (Microsoft
// documents 255), a key at most 512 levels deep counted from the top of the
// registry (the scratch key, HKEY_CURRENT_USER\Software\..., lies at level
// 5), a value name of at most 16,383 characters. Beyond them the call fails
// with ERROR_INVALID_PARAMETER.
TEST_F(Registry, NamesAndDepthsBeyondWindowsLimitsAreRefused) {
    // Makes a chain of keys of one name below the scratch key through handles,
    // a hundred levels at a time: Wine's ANSI functions refuse a path of more
    // than 260 characters (ERROR_MORE_DATA), however shallow.
    const auto createBelow = [&](const std::string &name, std::size_t levels) {
        HKEY at = nullptr;
        LONG rc = win::RegOpenKeyExA(key(), "", 0, KEY_ALL_ACCESS, &at);
        for (std::size_t done = 0; rc == ERROR_SUCCESS && done < levels; done += 100) {
            std::string path = name;
            for (std::size_t i = done + 1; i < std::min(levels, done + 100); ++i) {
                path += "\\" + name;
            }
            HKEY below = nullptr;
            rc = win::RegCreateKeyExA(at, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      &below, nullptr);
            close(at);
            at = below;
        }
        if (rc == ERROR_SUCCESS) {
            close(at);
        }
        return rc;
    };
    const auto setValue = [this](const std::string &name) {
        const BYTE data[] = "x";
        return win::RegSetValueExA(key(), name.c_str(), 0, REG_SZ, data, sizeof data);
    };
    const bool wineGoesDeeper =
        knownWineDifference("keys more than 512 levels deep are created; Windows refuses them");
    const struct {
        const char *what;
        std::function<LONG()> call;
        LONG result;
    } calls[] = {
        {"a key name of 256 characters", [&] { return createBelow(std::string(256, 'n'), 1); },
         ERROR_SUCCESS},
        {"a key name of 257 characters", [&] { return createBelow(std::string(257, 'n'), 1); },
         ERROR_INVALID_PARAMETER},
        {"a key at level 512", [&] { return createBelow("k", 507); }, ERROR_SUCCESS},
        {"a key at level 513", [&] { return createBelow("k", 508); },
         static_cast<LONG>(wineGoesDeeper ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER)},
        {"a value name of 16383 characters", [&] { return setValue(std::string(16383, 'v')); },
         ERROR_SUCCESS},
        {"a value name of 16384 characters", [&] { return setValue(std::string(16384, 'v')); },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto &call : calls) {
        EXPECT_EQ(call.call(), call.result) << call.what;
    }
}

// A handle has the rights it was opened with; creating a subkey through it
// needs none of them.
TEST_F(Registry, HandlesCarryTheirAccessRights) {
    HKEY readOnly = nullptr;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    set("Value", REG_SZ, std::string("x\0", 2));
    const BYTE data[] = "x";
    EXPECT_EQ(win::RegSetValueExA(readOnly, "New", 0, REG_SZ, data, sizeof data),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::RegDeleteValueA(readOnly, "Value"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(
        win::RegCreateKeyExA(readOnly, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
        ERROR_SUCCESS);
    close(child);
    close(readOnly);
    EXPECT_EQ(win::RegCloseKey(readOnly), ERROR_INVALID_HANDLE);
    EXPECT_EQ(win::RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(win::RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

// An empty or null subkey names the key itself. RegOpenKeyA gives back the
// very handle it is given; RegCreateKeyA gives back a root for a null subkey
// (as documented), RegOpenKeyExA a root for either; every other call opens
// a new handle on the key.
TEST_F(Registry, AnEmptySubkeyNamesTheKeyItself) {
    using Open = LONG (*)(HKEY, const char *, HKEY *);
    const Open openA = [](HKEY parent, const char *subKey, HKEY *result) {
        return win::RegOpenKeyA(parent, subKey, result);
    };
    const Open createA = [](HKEY parent, const char *subKey, HKEY *result) {
        return win::RegCreateKeyA(parent, subKey, result);
    };
    const Open openEx = [](HKEY parent, const char *subKey, HKEY *result) {
        return win::RegOpenKeyExA(parent, subKey, 0, KEY_ALL_ACCESS, result);
    };
    const Open createEx = [](HKEY parent, const char *subKey, HKEY *result) {
        return win::RegCreateKeyExA(parent, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result,
                                    nullptr);
    };
    const bool wineCreatesAnew = knownWineDifference(
        "RegCreateKeyA of a root with a null subkey gives a new handle; Windows gives the root");
    const struct {
        const char *name;
        Open open;
        const char *subKey;
        bool sameForAKey, sameForARoot;
    } calls[] = {
        {"RegOpenKeyA", openA, "", true, true},
        {"RegOpenKeyA", openA, nullptr, true, true},
        {"RegCreateKeyA", createA, "", false, false},
        {"RegCreateKeyA", createA, nullptr, false, !wineCreatesAnew},
        {"RegOpenKeyExA", openEx, "", false, true},
        {"RegOpenKeyExA", openEx, nullptr, false, true},
        {"RegCreateKeyExA", createEx, "", false, false},
    };
    for (const auto &call : calls) {
        const std::string what = std::string(call.name) + (call.subKey ? " \"\"" : " null");
        for (const HKEY parent : {key(), HKEY_CURRENT_USER}) {
            HKEY result = kJunkKey;
            ASSERT_EQ(call.open(parent, call.subKey, &result), ERROR_SUCCESS) << what;
            const bool same = parent == key() ? call.sameForAKey : call.sameForARoot;
            EXPECT_EQ(result == parent, same) << what;
            if (!same) {
                // The new handle is one on the same key.
                HKEY scratch = nullptr;
                EXPECT_EQ(win::RegOpenKeyExA(result, parent == key() ? "" : kKeyPath, 0, KEY_READ,
                                             &scratch),
                          ERROR_SUCCESS)
                    << what;
                close(scratch);
                close(result);
            }
        }
    }
}

// The registry functions answer with their result and leave the thread's
// last error as it was.
TEST_F(Registry, FailuresLeaveTheLastErrorAlone) {
    HKEY readOnly = nullptr;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    const BYTE data[] = "x";
    HKEY result = nullptr;
    const struct {
        const char *name;
        std::function<LONG()> call;
        LONG expected;
    } failures[] = {
        {"RegOpenKeyExA",
         [&] { return win::RegOpenKeyExA(key(), "Missing", 0, KEY_READ, &result); },
         ERROR_FILE_NOT_FOUND},
        {"RegOpenKeyA", [&] { return win::RegOpenKeyA(key(), "Missing", &result); },
         ERROR_FILE_NOT_FOUND},
        {"RegCreateKeyExA",
         [&] {
             return win::RegCreateKeyExA(key(), "\\C", 0, nullptr, 0, KEY_READ, nullptr, &result,
                                         nullptr);
         },
         ERROR_BAD_PATHNAME},
        {"RegCreateKeyA", [&] { return win::RegCreateKeyA(key(), "\\C", &result); },
         ERROR_BAD_PATHNAME},
        {"RegSetValueExA",
         [&] { return win::RegSetValueExA(readOnly, "V", 0, REG_SZ, data, sizeof data); },
         ERROR_ACCESS_DENIED},
        {"RegDeleteValueA", [&] { return win::RegDeleteValueA(key(), "Missing"); },
         ERROR_FILE_NOT_FOUND},
        {"RegDeleteKeyA", [&] { return win::RegDeleteKeyA(key(), "Missing"); },
         ERROR_FILE_NOT_FOUND},
        {"SHDeleteValueA",
         [&] { return static_cast<LONG>(win::SHDeleteValueA(key(), "Missing", "V")); },
         ERROR_FILE_NOT_FOUND},
        {"RegCloseKey", [&] { return win::RegCloseKey(nullptr); }, ERROR_INVALID_HANDLE},
    };
    for (const auto &failure : failures) {
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(failure.call(), failure.expected) << failure.name;
        EXPECT_EQ(win::GetLastError(), 0xdeadbeef) << failure.name;
    }
    close(readOnly);
}

// RegOpenKeyA and RegCreateKeyA open with every right, RegCreateKeyA making
// the key where it is missing.
TEST_F(Registry, TheShortFormsOpenWithEveryRight) {
    HKEY created = kJunkKey;
    ASSERT_EQ(win::RegCreateKeyA(key(), "Short\\Form", &created), ERROR_SUCCESS);
    const BYTE data[] = "x";
    EXPECT_EQ(win::RegSetValueExA(created, "V", 0, REG_SZ, data, sizeof data), ERROR_SUCCESS);
    close(created);
    HKEY opened = kJunkKey;
    ASSERT_EQ(win::RegOpenKeyA(key(), "SHORT\\form", &opened), ERROR_SUCCESS);
    EXPECT_EQ(win::RegDeleteValueA(opened, "v"), ERROR_SUCCESS);
    close(opened);
    opened = kJunkKey;
    EXPECT_EQ(win::RegOpenKeyA(key(), "Short\\Missing", &opened), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(win::RegOpenKeyA(key(), "Short", nullptr), ERROR_INVALID_PARAMETER);
}

// What a read gives for each type: the size stored, the data whole in a
// buffer of that size, a terminator added to a string stored without one
// where the buffer has room, and ERROR_MORE_DATA with the size needed in a
// buffer too small. A string's size that leaves out the terminator right
// after the text is taken to include it.
TEST_F(Registry, ValuesOfEveryTypeReadWithTheirSizesAndTerminators) {
    const DWORD number = 0x12345678;
    const std::string numberBytes(reinterpret_cast<const char *>(&number), sizeof number);
    // Each value is written from a text (with the zero that ends every
    // std::string after it) and a size.
    const struct {
        const char *name;
        DWORD type;
        std::string source;
        DWORD size;
        std::string stored;
    } values[] = {
        {"Text", REG_SZ, "text", 5, std::string("text\0", 5)},
        {"Counted short", REG_SZ, "text", 4, std::string("text\0", 5)},
        {"Unterminated", REG_SZ, "texts", 4, "text"},
        {"Empty", REG_SZ, "", 0, ""},
        {"Expand", REG_EXPAND_SZ, "%WINDIR%", 9, std::string("%WINDIR%\0", 9)},
        {"Multi", REG_MULTI_SZ, std::string("a\0b\0", 4), 5, std::string("a\0b\0\0", 5)},
        {"Number", REG_DWORD, numberBytes, 4, numberBytes},
        {"Binary", REG_BINARY, std::string("\x01\x00\x02", 3), 3, std::string("\x01\x00\x02", 3)},
    };
    for (const auto &value : values) {
        ASSERT_EQ(win::RegSetValueExA(key(), value.name, 0, value.type,
                                      reinterpret_cast<const BYTE *>(value.source.c_str()),
                                      value.size),
                  ERROR_SUCCESS);
        const auto stored = static_cast<DWORD>(value.stored.size());
        DWORD type = 0xdeadbeef;
        DWORD size = 0xdeadbeef;
        ASSERT_EQ(win::RegQueryValueExA(key(), value.name, nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS)
            << value.name;
        EXPECT_EQ(type, value.type) << value.name;
        EXPECT_EQ(size, stored) << value.name;

        std::string buffer;
        EXPECT_EQ(query(value.name, stored, buffer, size), ERROR_SUCCESS) << value.name;
        EXPECT_EQ(size, stored) << value.name;
        EXPECT_EQ(buffer, value.stored) << value.name;

        const bool terminated = value.type == REG_SZ && stored != 0 && value.stored.back() != '\0';
        EXPECT_EQ(query(value.name, stored + 1, buffer, size), ERROR_SUCCESS) << value.name;
        EXPECT_EQ(size, stored) << value.name;
        EXPECT_EQ(buffer, value.stored + (terminated ? '\0' : kJunk)) << value.name;

        if (stored != 0) {
            EXPECT_EQ(query(value.name, stored - 1, buffer, size), ERROR_MORE_DATA) << value.name;
            EXPECT_EQ(size, stored) << value.name;
        }
    }
}

TEST_F(Registry, ValuesAreNamedWithoutRegardToCaseAndWrittenOver) {
    set("Name", REG_SZ, std::string("first\0", 6));
    set("NAME", REG_DWORD, std::string(4, '\x01'));
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(win::RegQueryValueExA(key(), "name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::RegQueryValueExA(key(), "Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::GetLastError(), 0xdeadbeef);
    // No data at all is a value of size 0; a size without data is refused.
    EXPECT_EQ(win::RegSetValueExA(key(), "None", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(win::RegSetValueExA(key(), "Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(win::RegQueryValueExA(key(), "Bad", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, DeletedValuesAreGone) {
    set("Name", REG_SZ, std::string("x\0", 2));
    EXPECT_EQ(win::RegDeleteValueA(key(), "NAME"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(win::RegQueryValueExA(key(), "Name", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::RegDeleteValueA(key(), "Name"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, TheShellHelperDeletesAValueBelowAKey) {
    HKEY sub = create("Sub\\Key");
    ASSERT_EQ(win::RegSetValueExA(sub, "Name", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2),
              ERROR_SUCCESS);
    close(sub);
    const std::string path = std::string(kKeyPath) + "\\SUB\\key";
    const struct {
        const char *subKey;
        LSTATUS result;
    } deletes[] = {
        {path.c_str(), ERROR_SUCCESS},
        {path.c_str(), ERROR_FILE_NOT_FOUND},
        {"Software\\RADOZAVU conformance\\Nobody", ERROR_FILE_NOT_FOUND},
    };
    for (const auto &removal : deletes) {
        EXPECT_EQ(win::SHDeleteValueA(HKEY_CURRENT_USER, removal.subKey, "name"), removal.result)
            << removal.subKey;
    }
}

// Only a key without subkeys can be deleted; a handle still open on it then
// refuses every use; an empty subkey deletes the handle's own key.
TEST_F(Registry, KeysWithoutSubkeysAreDeleted) {
    close(create("Vendor\\Child"));
    EXPECT_EQ(win::RegDeleteKeyA(key(), "Vendor"), ERROR_ACCESS_DENIED);
    HKEY child = create("Vendor\\Child");
    EXPECT_EQ(win::RegDeleteKeyA(key(), "VENDOR\\child"), ERROR_SUCCESS);
    const BYTE data[] = "x";
    EXPECT_EQ(win::RegSetValueExA(child, "V", 0, REG_SZ, data, sizeof data), ERROR_KEY_DELETED);
    close(child);
    EXPECT_EQ(win::RegDeleteKeyA(key(), "Vendor\\Child"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(win::RegDeleteKeyA(key(), nullptr), ERROR_INVALID_PARAMETER);
    HKEY vendor = create("Vendor");
    EXPECT_EQ(win::RegDeleteKeyA(vendor, ""), ERROR_SUCCESS);
    close(vendor);
    HKEY opened = nullptr;
    EXPECT_EQ(win::RegOpenKeyExA(key(), "Vendor", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
}

} // namespace
} // namespace conformance
