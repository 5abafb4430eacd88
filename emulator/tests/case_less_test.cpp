// Names of the emulated machine compare without regard to letter case, one
// character at a time in the machine's code page: the trail byte of a
// double-byte character is never folded as if it were a letter.
#include "emulator/case_less.h"
#include "support/machine_test.h"

namespace {

class NamesWithoutCase : public MachineTest {};

int sign(int n) { return (n > 0) - (n < 0); }

TEST_F(NamesWithoutCase, FoldOnlyTheLettersOfSingleByteCharacters) {
    struct Case {
        unsigned codePage;
        const char *a;
        const char *b;
        int order;
    };
    const Case cases[] = {
        {1252, "Software", "SOFTWARE", 0},
        {1252, "[", "a", 1}, // letters fold to capitals, as Windows sorts names
        // The same two bytes: a character and a letter in code page 1252, one
        // character in 932, where ャ (0x83 0x61) and ア (0x83 0x41) are two
        // characters, not one in two cases.
        {1252, "\x83\x61", "\x83\x41", 0},
        {932, "\x83\x61", "\x83\x41", 1},
        {932, "\x83\x41z", "\x83\x41Z", 0},
        {932, "z\x83", "Z\x83", 0}, // a lead byte that ends the name stands alone
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.a);
        machine().system.codePage = c.codePage;
        EXPECT_EQ(sign(emu::compareNamesNoCase(c.a, c.b)), c.order);
        EXPECT_EQ(sign(emu::compareNamesNoCase(c.b, c.a)), -c.order);
        EXPECT_EQ(emu::equalNoCase(c.a, c.b), c.order == 0);
    }

    // Two such names are two registry keys.
    machine().system.codePage = 932;
    registry().setString(HKEY_LOCAL_MACHINE, "Software\\\x83\x61", "Name", "small ya");
    registry().setString(HKEY_LOCAL_MACHINE, "Software\\\x83\x41", "Name", "a");
    EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, "Software\\\x83\x61", "Name"), "small ya");
}

} // namespace
