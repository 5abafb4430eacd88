// The one reader of a registry value as text, over values as writers leave
// them: with and without a terminator, with zeros inside, of another type,
// missing, and longer than the reader's limit.
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "platform/registry.h"
#include "registry/string_value.h"
#include "support/machine_test.h"

namespace {

using registry::ReadStringValue;
using registry::StringValue;

constexpr const char *kKey = "Software\\Values";

class StringValueReader : public MachineTest {};

TEST_F(StringValueReader, TakesTheStoredBytesAsTheyAre) {
    struct Case {
        const char *label;
        std::optional<std::string> stored; // nullopt: no such value
        DWORD type;
        DWORD limit;
        DWORD status;
        DWORD size;
        std::string text;
        bool terminated;
    };
    const std::string longText(5000, 'x');
    const Case cases[] = {
        {"terminated", std::string("text\0", 5), REG_SZ, registry::kWholeValue, ERROR_SUCCESS, 5,
         "text", true},
        {"no terminator", std::string("text"), REG_SZ, registry::kWholeValue, ERROR_SUCCESS, 4,
         "text", false},
        {"no bytes", std::string(), REG_SZ, registry::kWholeValue, ERROR_SUCCESS, 0, "", false},
        {"a zero inside", std::string("ab\0cd", 5), REG_SZ, registry::kWholeValue, ERROR_SUCCESS, 5,
         "ab", false},
        {"another type", std::string("12\0\0", 4), REG_DWORD, registry::kWholeValue, ERROR_SUCCESS,
         4, "12", true},
        {"missing", std::nullopt, REG_SZ, registry::kWholeValue, ERROR_FILE_NOT_FOUND, 0, "",
         false},
        {"long, read whole", longText + '\0', REG_SZ, registry::kWholeValue, ERROR_SUCCESS, 5001,
         longText, true},
        {"filling the limit", std::string("text\0", 5), REG_SZ, 5, ERROR_SUCCESS, 5, "text", true},
        {"filling it unterminated", std::string("text"), REG_SZ, 4, ERROR_SUCCESS, 4, "text",
         false},
        {"over the limit", std::string("text\0", 5), REG_SZ, 4, ERROR_MORE_DATA, 0, "", false},
        {"missing, with a limit", std::nullopt, REG_SZ, 4, ERROR_FILE_NOT_FOUND, 0, "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        registry().create(HKEY_LOCAL_MACHINE, kKey)->values.clear();
        if (c.stored) {
            registry().setBinary(HKEY_LOCAL_MACHINE, kKey, "Value",
                                 std::vector<BYTE>(c.stored->begin(), c.stored->end()), c.type);
        }
        handles::UniqueKey key;
        ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, key.put()),
                  ERROR_SUCCESS);
        const StringValue value = ReadStringValue(key.get(), "Value", c.limit);
        EXPECT_EQ(value.status, c.status);
        EXPECT_EQ(value.size, c.size);
        EXPECT_EQ(value.text, c.text);
        EXPECT_EQ(value.terminated, c.terminated);
    }
}

} // namespace
