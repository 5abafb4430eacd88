// Multibyte-aware text operations in a single-byte and a double-byte code page.
#include <string>
#include <vector>

#include "base/mbtext.h"
#include "emulator/text.h"
#include "support/machine_test.h"

namespace {

class Text : public MachineTest {};

// 0x95 0x5C is one Shift-JIS character whose second byte looks like a backslash.
const std::string kJapanese = "\x95\x5C";

TEST_F(Text, SearchesSkipTrailBytesOnlyInADoubleByteCodePage) {
    const std::string path = "C:\\" + kJapanese;
    EXPECT_EQ(mbtext::findLastChar(path.c_str(), '\\'), path.c_str() + 4);
    machine().system.codePage = 932;
    EXPECT_EQ(mbtext::findLastChar(path.c_str(), '\\'), path.c_str() + 2);
    EXPECT_EQ(mbtext::findChar(kJapanese.c_str(), '\\'), nullptr);
    const std::string order = "A" + kJapanese + "QLNNET";
    EXPECT_EQ(mbtext::findText(order.c_str(), "QLNNET"), order.c_str() + 3);
    EXPECT_EQ(mbtext::findText("\x95QLNNET", "QLNNET"), nullptr); // Q is a trail byte here
}

TEST_F(Text, TrailingBackslashRemovalSparesADoubleByteCharacter) {
    machine().system.codePage = 932;
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
    machine().system.codePage = 932;
    const std::string text = "ab" + kJapanese + "c";
    char buffer[4];
    EXPECT_FALSE(mbtext::copyBounded(buffer, sizeof buffer, text.c_str()));
    EXPECT_STREQ(buffer, "ab");
    char wide[8];
    EXPECT_TRUE(mbtext::copyBounded(wide, sizeof wide, text.c_str()));
    EXPECT_EQ(std::string(wide), text);
    EXPECT_EQ(mbtext::prefixLength(text.c_str(), 4), 4u);
}

// The library walks text with its own code and the machine with its own: on
// each text they must find the same characters, the same backslashes and the
// same order without regard to case.
TEST_F(Text, TheLibraryWalksTextAsTheMachineDoes) {
    struct Case {
        UINT codePage;
        const char *text;
        const char *other;      // compared with text
        std::size_t characters; // in text
        int order;              // of text against other
    };
    const Case cases[] = {
        {1252, "C:\\Program Files\\Quillane\\", "c:\\PROGRAM files\\quillane\\", 26, 0},
        {1252, "C:\\\x95\\", "c:\\\x95\\", 5, 0},
        {932, "C:\\\x95\\", "c:\\\x95\\", 4, 0},
        {932, "\x95", "\x95", 1, 0}, // a lead byte that ends the text
        {1252, "A\x95QLNNET", "a\x95qlnnet", 8, 0},
        {932, "A\x95QLNNET", "a\x95qlnnet", 7, -1}, // the Q is a trail byte: no letter
        {1252,
         "\x83"
         "a\\",
         "\x83"
         "A\\",
         3, 0},
        {932,
         "\x83"
         "a\\",
         "\x83"
         "A\\",
         2, 1},
        {932, "\xE0\x5C\xFC\xFC\\", "\xE0\x5C\xFC\xFC", 3, 1},
        {932, "\x81\x40Setup", "\x81\x40SETUP\\", 6, -1},
        {932, "Service Pack 6a", "SERVICE PACK 6", 15, 1},
    };
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " \"" << c.text << "\"");
        machine().system.codePage = c.codePage;
        std::vector<const char *> library;
        std::vector<const char *> machineSteps;
        for (const char *p = c.text; *p != '\0'; p = mbtext::next(p)) {
            library.push_back(p);
        }
        for (const char *p = c.text; *p != '\0'; p = emu::nextCharacter(p)) {
            machineSteps.push_back(p);
        }
        EXPECT_EQ(library, machineSteps);
        EXPECT_EQ(library.size(), c.characters);
        EXPECT_EQ(mbtext::findChar(c.text, '\\'), emu::findCharacter(c.text, '\\'));
        EXPECT_EQ(mbtext::findLastChar(c.text, '\\'), emu::findLastCharacter(c.text, '\\'));
        for (std::size_t bytes = 0; c.text[bytes] != '\0'; ++bytes) {
            EXPECT_EQ(mbtext::prefixLength(c.text, bytes), emu::wholeCharacterBytes(c.text, bytes));
        }
        EXPECT_EQ(sign(mbtext::compareNoCase(c.text, c.other)), c.order);
        EXPECT_EQ(sign(emu::compareTextNoCase(c.text, c.other)), c.order);
        EXPECT_EQ(sign(emu::compareTextNoCase(c.other, c.text)), -c.order);
        EXPECT_EQ(sign(mbtext::compareNoCase(c.other, c.text)), -c.order);
    }
}

} // namespace
