// The compressed file copies and the letter encoding of numbers, on the
// emulated machine. gzip files written by the library are also read back
// with zlib directly, so a copy that merely passed bytes through is caught.
#include <sys/stat.h>
#include <zlib.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "emulator/change_observer.h"
#include "platform/file_operations.h"
#include "radozavu.h"
#include "support/machine_test.h"

namespace {

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char &byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

// A megabyte of text that compresses well.
std::string compressibleMegabyte() {
    std::string text;
    for (int line = 0; text.size() < (1u << 20); ++line) {
        text += "Quillane synchronises project " + std::to_string(line % 977) + " at level " +
                std::to_string(line % 13) + "\r\n";
    }
    text.resize(1u << 20);
    return text;
}

class GzipCopy : public MachineTest {
protected:
    const char *compress(const char *source, const char *destination, int level) {
        return QLNSetupCompressFile(source, destination, level);
    }
    // The content of a gzip file as zlib itself reads it; empty on any error.
    std::string gunzipWithZlib(const std::string &machinePath) {
        gzFile file = ::gzopen(hostPath(machinePath).c_str(), "rb");
        if (file == nullptr) {
            ADD_FAILURE() << "zlib cannot open " << machinePath;
            return {};
        }
        std::string content;
        char chunk[4096];
        int count = 0;
        while ((count = gzread(file, chunk, sizeof chunk)) > 0) {
            content.append(chunk, static_cast<std::size_t>(count));
        }
        int error = Z_OK;
        gzerror(file, &error);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(error, Z_OK);
        ::gzclose(file);
        return content;
    }
    static bool isGzip(const std::string &bytes) {
        return bytes.size() >= 18 && bytes[0] == '\x1f' && bytes[1] == '\x8b';
    }
    // A file on a full disk: every write that reaches it fails.
    void placeOnFullDisk(const std::string &machinePath) {
        std::filesystem::create_symlink("/dev/full", hostPath(machinePath));
    }
    void makeReadOnly(const std::string &machinePath) {
        ::chmod(hostPath(machinePath).c_str(), 0444);
    }
};

class GzipRoundTrip : public GzipCopy, public ::testing::WithParamInterface<int> {};

TEST_P(GzipRoundTrip, EveryKindOfFileComesBackByteForByte) {
    const int level = GetParam();
    const std::pair<const char *, std::string> sources[] = {
        {"empty", ""},
        {"small", "Quillane\r\n"},
        {"megabyte", compressibleMegabyte()},
        {"incompressible", randomBytes(300000, 7)},
    };
    for (const auto &[name, content] : sources) {
        SCOPED_TRACE(name);
        const std::string source = std::string("C:\\Data\\") + name + ".bin";
        const std::string packed = source + ".gz";
        const std::string unpacked = source + ".out";
        writeFile(source, content);

        EXPECT_EQ(compress(source.c_str(), packed.c_str(), level), packed.c_str());
        const std::string gzip = readFile(packed);
        EXPECT_TRUE(isGzip(gzip));
        EXPECT_EQ(gunzipWithZlib(packed), content);

        EXPECT_EQ(QLNSetupUncompressFile(packed.c_str(), unpacked.c_str()), unpacked.c_str());
        EXPECT_EQ(readFile(unpacked), content);
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, GzipRoundTrip, ::testing::Values(-1, 0, 1, 9));

TEST_F(GzipCopy, LevelZeroStoresTheDataAndHigherLevelsCompressIt) {
    const std::string content = compressibleMegabyte();
    writeFile("C:\\Data\\source.txt", content);
    ASSERT_NE(compress("C:\\Data\\source.txt", "C:\\Data\\stored.gz", 0), nullptr);
    ASSERT_NE(compress("C:\\Data\\source.txt", "C:\\Data\\fast.gz", 1), nullptr);
    ASSERT_NE(compress("C:\\Data\\source.txt", "C:\\Data\\best.gz", 9), nullptr);
    const std::string stored = readFile("C:\\Data\\stored.gz");
    const std::string fast = readFile("C:\\Data\\fast.gz");
    const std::string best = readFile("C:\\Data\\best.gz");

    // The first deflate block follows the 10-byte header; block type 00 is stored.
    EXPECT_EQ((static_cast<unsigned char>(stored[10]) >> 1) & 3, 0);
    EXPECT_GT(stored.size(), content.size());
    EXPECT_NE((static_cast<unsigned char>(fast[10]) >> 1) & 3, 0);
    EXPECT_LT(fast.size(), content.size() / 4);
    EXPECT_LE(best.size(), fast.size());
}

TEST_F(GzipCopy, LevelsZlibRefusesCompressAtTheDefaultLevel) {
    writeFile("C:\\Data\\source.txt", compressibleMegabyte());
    ASSERT_NE(compress("C:\\Data\\source.txt", "C:\\Data\\default.gz", -1), nullptr);
    const std::string atDefault = readFile("C:\\Data\\default.gz");
    const char *refused = "C:\\Data\\refused.gz";
    for (int level : {10, 42, -2, INT_MIN}) {
        SCOPED_TRACE(level);
        EXPECT_EQ(compress("C:\\Data\\source.txt", refused, level), refused);
        EXPECT_EQ(readFile("C:\\Data\\refused.gz"), atDefault);
    }
}

TEST_F(GzipCopy, AFileNotInGzipFormatPassesThroughExpansion) {
    const std::string content = "plain text, no gzip header\r\n" + randomBytes(5000, 3);
    writeFile("C:\\Data\\plain.txt", content);
    EXPECT_NE(QLNSetupUncompressFile("C:\\Data\\plain.txt", "C:\\Data\\copy.txt"), nullptr);
    EXPECT_EQ(readFile("C:\\Data\\copy.txt"), content);
}

TEST_F(GzipCopy, MissingSourcesFailAndOnlyExpansionLeavesAnEmptyDestination) {
    EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\missing.gz", "C:\\out.txt"), nullptr);
    ASSERT_TRUE(fileExists("C:\\out.txt"));
    EXPECT_EQ(readFile("C:\\out.txt"), "");

    EXPECT_EQ(compress("C:\\Data\\missing.txt", "C:\\out.gz", 9), nullptr);
    EXPECT_FALSE(fileExists("C:\\out.gz"));

    // Missing paths are failed opens, not crashes.
    EXPECT_EQ(compress(nullptr, "C:\\out.gz", 9), nullptr);
    EXPECT_EQ(compress("C:\\out.txt", nullptr, 9), nullptr);
    EXPECT_EQ(QLNSetupUncompressFile(nullptr, "C:\\null.txt"), nullptr);
    EXPECT_TRUE(fileExists("C:\\null.txt"));
    EXPECT_EQ(QLNSetupUncompressFile("C:\\out.txt", nullptr), nullptr);
}

TEST_F(GzipCopy, DamagedGzipFilesFailAndLeaveThePartialOutput) {
    const std::string content = randomBytes(200000, 11);
    writeFile("C:\\Data\\source.bin", content);
    ASSERT_NE(compress("C:\\Data\\source.bin", "C:\\Data\\whole.gz", 6), nullptr);
    const std::string gzip = readFile("C:\\Data\\whole.gz");

    // Cut off inside the compressed data, and just before the last byte
    // of the trailer.
    for (std::size_t cut : {gzip.size() / 2, gzip.size() - 1}) {
        SCOPED_TRACE(cut);
        writeFile("C:\\Data\\cut.gz", gzip.substr(0, cut));
        EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\cut.gz", "C:\\Data\\cut.bin"), nullptr);
        const std::string partial = readFile("C:\\Data\\cut.bin");
        EXPECT_EQ(partial, content.substr(0, partial.size()));
    }

    std::string corrupted = gzip;
    for (std::size_t i = 100; i < 140; ++i) {
        corrupted[i] = static_cast<char>(corrupted[i] ^ 0x5A);
    }
    writeFile("C:\\Data\\corrupted.gz", corrupted);
    EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\corrupted.gz", "C:\\Data\\corrupted.bin"), nullptr);

    // A changed byte of the stored checksum.
    std::string badChecksum = gzip;
    badChecksum[gzip.size() - 6] = static_cast<char>(badChecksum[gzip.size() - 6] ^ 1);
    writeFile("C:\\Data\\checksum.gz", badChecksum);
    EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\checksum.gz", "C:\\Data\\checksum.bin"), nullptr);
}

TEST_F(GzipCopy, AReadErrorOnTheSourceIsNoSuccess) {
    const std::string content = randomBytes(10000, 5);
    writeFile("C:\\Data\\damaged.bin", content);
    machine().files.readFailsFrom["c:\\data\\DAMAGED.BIN"] = 3000;
    EXPECT_EQ(compress("C:\\Data\\damaged.bin", "C:\\Data\\damaged.gz", 6), nullptr);
    // What was read before the error was written out.
    EXPECT_EQ(gunzipWithZlib("C:\\Data\\damaged.gz"), content.substr(0, 3000));
}

TEST_F(GzipCopy, DestinationsThatCannotBeWrittenFail) {
    writeFile("C:\\Data\\source.bin", randomBytes(5000, 1));
    ASSERT_NE(compress("C:\\Data\\source.bin", "C:\\Data\\source.gz", 6), nullptr);

    writeFile("C:\\Data\\locked.gz", "old");
    writeFile("C:\\Data\\locked.bin", "old");
    makeReadOnly("C:\\Data\\locked.gz");
    makeReadOnly("C:\\Data\\locked.bin");
    EXPECT_EQ(compress("C:\\Data\\source.bin", "C:\\Data\\locked.gz", 6), nullptr);
    EXPECT_EQ(readFile("C:\\Data\\locked.gz"), "old");
    EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\source.gz", "C:\\Data\\locked.bin"), nullptr);
    EXPECT_EQ(readFile("C:\\Data\\locked.bin"), "old");

    for (const char *destination :
         {"C:\\Missing\\out.gz", "C:\\Data", "Q:\\out.gz", "\\\\server\\share\\out.gz"}) {
        SCOPED_TRACE(destination);
        EXPECT_EQ(compress("C:\\Data\\source.bin", destination, 6), nullptr);
        EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\source.gz", destination), nullptr);
    }
}

TEST_F(GzipCopy, AFullDiskIsNoSuccessEvenWhenOnlyTheLastBlockIsLost) {
    writeFile("C:\\Data\\large.bin", randomBytes(300000, 9));
    writeFile("C:\\Data\\small.txt", "fits in zlib's buffer");
    ASSERT_NE(compress("C:\\Data\\large.bin", "C:\\Data\\large.gz", 6), nullptr);
    placeOnFullDisk("C:\\Data\\full.gz");
    placeOnFullDisk("C:\\Data\\full.bin");

    // A write fails on the way; or zlib holds everything until the close,
    // which then cannot write the compressed data.
    EXPECT_EQ(compress("C:\\Data\\large.bin", "C:\\Data\\full.gz", 6), nullptr);
    EXPECT_EQ(compress("C:\\Data\\small.txt", "C:\\Data\\full.gz", 6), nullptr);
    // Expansion: likewise, through the buffered file's writes and its close.
    EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\large.gz", "C:\\Data\\full.bin"), nullptr);
    ASSERT_NE(compress("C:\\Data\\small.txt", "C:\\Data\\small.gz", 6), nullptr);
    EXPECT_EQ(QLNSetupUncompressFile("C:\\Data\\small.gz", "C:\\Data\\full.bin"), nullptr);
}

// A copy onto its own source, by whatever name, is refused before anything
// is written: the file keeps its bytes and nothing else appears beside it.
TEST_F(GzipCopy, ACopyOntoItsOwnSourceTouchesNothing) {
    const std::string plain = randomBytes(100000, 3);
    writeFile("C:\\Data\\plain.bin", plain);
    ASSERT_NE(compress("C:\\Data\\plain.bin", "C:\\Data\\packed.gz", 6), nullptr);
    const std::string packed = readFile("C:\\Data\\packed.gz");
    std::filesystem::create_hard_link(hostPath("C:\\Data\\plain.bin"),
                                      hostPath("C:\\Data\\linked.bin"));
    char shortName[MAX_PATH] = "";
    ASSERT_NE(win::GetShortPathNameA("C:\\Data\\packed.gz", shortName, sizeof shortName), 0u);
    struct Case {
        bool expand;
        const char *source;
        std::string destination;
    };
    for (const Case &c : {Case{false, "C:\\Data\\plain.bin", "C:\\Data\\plain.bin"},
                          Case{false, "C:\\Data\\plain.bin", "c:\\DATA\\PLAIN.BIN"},
                          Case{false, "C:\\Data\\plain.bin", "C:\\Data\\linked.bin"},
                          Case{true, "C:\\Data\\packed.gz", "C:\\Data\\packed.gz"},
                          Case{true, "C:\\Data\\packed.gz", "C:\\Data\\PACKED.GZ"},
                          Case{true, "C:\\Data\\packed.gz", shortName}}) {
        SCOPED_TRACE(c.destination);
        const char *result = c.expand ? QLNSetupUncompressFile(c.source, c.destination.c_str())
                                      : compress(c.source, c.destination.c_str(), -1);
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(readFile("C:\\Data\\plain.bin"), plain);
        EXPECT_EQ(readFile("C:\\Data\\packed.gz"), packed);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(hostPath("C:\\Data")), {}), 3);
    }
}

// A copy over a file that exists replaces it whole or, when it fails, not at
// all; only a copy to a new name leaves what it wrote so far.
TEST_F(GzipCopy, AFailedCopyLeavesAnExistingDestinationAsItWas) {
    const std::string plain = randomBytes(20000, 4);
    writeFile("C:\\Data\\plain.bin", plain);
    writeFile("C:\\Data\\damaged.bin", plain);
    machine().files.readFailsFrom["C:\\Data\\damaged.bin"] = 3000;
    ASSERT_NE(compress("C:\\Data\\plain.bin", "C:\\Data\\whole.gz", 6), nullptr);
    const std::string gzip = readFile("C:\\Data\\whole.gz");
    writeFile("C:\\Data\\cut.gz", gzip.substr(0, gzip.size() / 2));
    struct Case {
        const char *name;
        std::function<const char *(const char *)> copy;
        bool succeeds;
    };
    const Case cases[] = {
        {"read error", [this](const char *to) { return compress("C:\\Data\\damaged.bin", to, 6); },
         false},
        {"cut gzip", [](const char *to) { return QLNSetupUncompressFile("C:\\Data\\cut.gz", to); },
         false},
        {"missing source",
         [](const char *to) { return QLNSetupUncompressFile("C:\\Data\\none.gz", to); }, false},
        {"whole gzip",
         [](const char *to) { return QLNSetupUncompressFile("C:\\Data\\whole.gz", to); }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("C:\\Data\\old.bin", "the old content");
        EXPECT_EQ(c.copy("C:\\Data\\old.bin") != nullptr, c.succeeds);
        EXPECT_EQ(readFile("C:\\Data\\old.bin"), c.succeeds ? plain : "the old content");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(hostPath("C:\\Data")), {}), 5);
    }
}

// A user who can write the folder swaps the name of the file a copy made for
// a hard link to their own file, the moment the machine next changes a file.
struct SwapsTheMadeFile final : emu::ChangeObserver {
    std::string made, victim; // host paths
    bool swapped = false;
    void keyChanging(const emu::RegKey & /*key*/) override {}
    void keyCreated(const emu::RegKey & /*key*/) override {}
    void fileChanging(const std::string & /*hostPath*/) override {
        if (!swapped && std::filesystem::exists(made)) {
            std::filesystem::rename(made, made + ".moved");
            std::filesystem::create_hard_link(victim, made);
            swapped = true;
        }
    }
};

TEST_F(GzipCopy, ANewFileSwappedForALinkOnceMadeIsStillTheOneWritten) {
    writeFile("C:\\Data\\plain.txt", "plain text");
    ASSERT_NE(compress("C:\\Data\\plain.txt", "C:\\Data\\packed.gz", 6), nullptr);
    for (const bool expand : {false, true}) {
        const char *destination = expand ? "C:\\Data\\new.txt" : "C:\\Data\\new.gz";
        writeFile("C:\\Data\\victim.ini", "the user's own");
        SwapsTheMadeFile user;
        user.made = hostPath(destination);
        user.victim = hostPath("C:\\Data\\victim.ini");
        emu::observeChanges(&user);
        EXPECT_NE(expand ? QLNSetupUncompressFile("C:\\Data\\packed.gz", destination)
                         : compress("C:\\Data\\plain.txt", destination, 6),
                  nullptr);
        emu::observeChanges(nullptr);
        EXPECT_EQ(readFile("C:\\Data\\victim.ini"), "the user's own") << destination;
        const std::string made = std::string(destination) + (user.swapped ? ".moved" : "");
        EXPECT_EQ(expand ? readFile(made) : gunzipWithZlib(made), "plain text") << destination;
    }
}

// The encoding needs no machine; the fixture still checks that nothing is
// left open.
using NumberEncoding = MachineTest;

TEST_F(NumberEncoding, NumbersEncodeAsLetters) {
    const std::pair<int, const char *> table[] = {
        {0, "A"}, {1907, "BJAH"}, {-42, "-EC"}, {INT_MAX, "CBEHEIDGEH"}, {INT_MIN, "-CBEHEIDGEI"},
    };
    for (const auto &[number, letters] : table) {
        EXPECT_STREQ(HKGetStringFromNumber(number), letters) << number;
    }
}

TEST_F(NumberEncoding, LettersDecodeToNonNegativeNumbers) {
    EXPECT_EQ(HKGetNumberFromString("BJAH"), 1907);
    EXPECT_EQ(HKGetNumberFromString("A"), 0);
    EXPECT_EQ(HKGetNumberFromString("CBEHEIDGEH"), INT_MAX);
    EXPECT_EQ(HKGetNumberFromString("AAAAAAAAAAAAAAAAABJ"), 19); // 19 letters fit
    for (int number : {1, 9, 10, 4096, 65535, 123456789}) {
        EXPECT_EQ(HKGetNumberFromString(HKGetStringFromNumber(number)), number);
    }
}

TEST_F(NumberEncoding, TextsThatAreNoEncodingDecodeToZero) {
    for (const char *text : {"bjah", "1907", "-EC", "", "BJ H", "BJAK", "BJA@",
                             "AAAAAAAAAAAAAAAAAABJ", // 20 letters
                             "CBEHEIDGEI",           // 2147483648
                             "JJJJJJJJJJJJJJJJJJJ",  // 19 nines
                             "\x82\x60"}) {
        EXPECT_EQ(HKGetNumberFromString(text), 0) << '"' << text << '"';
    }
    EXPECT_EQ(HKGetNumberFromString(nullptr), 0);
}

} // namespace
