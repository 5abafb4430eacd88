// Multibyte-aware text operations in a single-byte and a double-byte code page.
#include <string>

#include "base/mbtext.h"
#include "support/machine_test.h"

namespace {

class Text : public MachineTest {};

// 0x95 0x5C is one Shift-JIS character whose second byte looks like a backslash.
const std::string kJapanese = "\x95\x5C";

TEST_F(Text, SearchesSkipTrailBytesOnlyInADoubleByteCodePage) {
    const std::string path = "C:\\" + kJapanese;
    EXPECT_EQ(mbtext::findLastChar(path.c_str(), '\\'), path.c_str() + 4);
    machine().codePage = 932;
    EXPECT_EQ(mbtext::findLastChar(path.c_str(), '\\'), path.c_str() + 2);
    EXPECT_EQ(mbtext::findChar(kJapanese.c_str(), '\\'), nullptr);
    const std::string order = "A" + kJapanese + "QLNNET";
    EXPECT_EQ(mbtext::findText(order.c_str(), "QLNNET"), order.c_str() + 3);
    EXPECT_EQ(mbtext::findText("\x95QLNNET", "QLNNET"), nullptr); // Q is a trail byte here
}

TEST_F(Text, TrailingBackslashRemovalSparesADoubleByteCharacter) {
    machine().codePage = 932;
    std::string folder = "C:\\" + kJapanese;
    mbtext::removeTrailingBackslash(folder);
    EXPECT_EQ(folder, "C:\\" + kJapanese);
    folder += "\\";
    mbtext::removeTrailingBackslash(folder);
    EXPECT_EQ(folder, "C:\\" + kJapanese);
}

TEST_F(Text, CaseInsensitiveComparisonOrdersServicePackTexts) {
    EXPECT_LT(mbtext::compareNoCase("", "Service Pack 3"), 0);
    EXPECT_LT(mbtext::compareNoCase("Service Pack 2", "Service Pack 3"), 0);
    EXPECT_EQ(mbtext::compareNoCase("service pack 3", "Service Pack 3"), 0);
    EXPECT_GT(mbtext::compareNoCase("Service Pack 6a", "Service Pack 6"), 0);
    EXPECT_GT(mbtext::compareNoCase("Service Pack 6", "Service Pack 3"), 0);
    EXPECT_LT(mbtext::compareNoCase("NO", "NOT"), 0);
}

TEST_F(Text, BoundedCopiesNeverSplitACharacter) {
    machine().codePage = 932;
    const std::string text = "ab" + kJapanese + "c";
    char buffer[4];
    EXPECT_FALSE(mbtext::copyBounded(buffer, sizeof buffer, text.c_str()));
    EXPECT_STREQ(buffer, "ab");
    char wide[8];
    EXPECT_TRUE(mbtext::copyBounded(wide, sizeof wide, text.c_str()));
    EXPECT_EQ(std::string(wide), text);
    EXPECT_EQ(mbtext::prefixLength(text.c_str(), 4), 4u);
}

} // namespace
