// The compressed file copies and the number encoding of the real DLL, with
// the mingw build of zlib linked into it and files of the Wine prefix.
#include <gtest/gtest.h>

#include <climits>

#include "wine_support.h"

namespace {

class WineCompress : public ::testing::Test {
protected:
    wine::Library library;
    decltype(&::QLNSetupCompressFile) compress = library->QLNSetupCompressFile;
    decltype(&::QLNSetupUncompressFile) uncompress = library->QLNSetupUncompressFile;
};

std::string sampleContent() {
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += "line " + std::to_string(i % 251) + '\t' + static_cast<char>(i * 7) + "\r\n";
    }
    return content;
}

TEST_F(WineCompress, FilesGoIntoGzipAndComeBackByteForByte) {
    const std::string folder = wine::freshFolder("compress");
    const std::string content = sampleContent();
    const std::string source = folder + "source.bin";
    wine::writeFile(source, content);

    for (int level : {-1, 0, 9, 42}) {
        SCOPED_TRACE(level);
        const std::string packed = folder + "packed" + std::to_string(level) + ".gz";
        const std::string unpacked = folder + "unpacked" + std::to_string(level) + ".bin";
        EXPECT_EQ(compress(source.c_str(), packed.c_str(), level), packed.c_str());
        const std::string gzip = wine::readFile(packed);
        ASSERT_GT(gzip.size(), 18u);
        EXPECT_EQ(gzip.substr(0, 2), "\x1f\x8b");
        if (level == 0) {
            EXPECT_GT(gzip.size(), content.size()); // stored, not compressed
        } else {
            EXPECT_LT(gzip.size(), content.size() / 2);
        }
        EXPECT_EQ(uncompress(packed.c_str(), unpacked.c_str()), unpacked.c_str());
        EXPECT_EQ(wine::readFile(unpacked), content);
    }
}

TEST_F(WineCompress, DamagedOrMissingSourcesFail) {
    const std::string folder = wine::freshFolder("compress-damaged");
    wine::writeFile(folder + "source.bin", sampleContent());
    ASSERT_NE(compress((folder + "source.bin").c_str(), (folder + "whole.gz").c_str(), 6), nullptr);
    const std::string gzip = wine::readFile(folder + "whole.gz");
    wine::writeFile(folder + "cut.gz", gzip.substr(0, gzip.size() - 3));
    EXPECT_EQ(uncompress((folder + "cut.gz").c_str(), (folder + "cut.bin").c_str()), nullptr);

    EXPECT_EQ(uncompress((folder + "missing.gz").c_str(), (folder + "empty.bin").c_str()), nullptr);
    EXPECT_TRUE(wine::fileExists(folder + "empty.bin"));
    EXPECT_EQ(wine::readFile(folder + "empty.bin"), "");
    EXPECT_EQ(compress((folder + "missing.bin").c_str(), (folder + "none.gz").c_str(), 6), nullptr);
    EXPECT_FALSE(wine::fileExists(folder + "none.gz"));
    // A folder is no destination.
    EXPECT_EQ(compress((folder + "source.bin").c_str(), folder.c_str(), 6), nullptr);
}

// A copy onto its own source, by any of its names, touches nothing; a
// failed copy over an existing file leaves that file as it was; a copy to a
// new name never writes through a link left there.
TEST_F(WineCompress, CopiesOntoTheirSourceOrFailingOverAFileTouchNothing) {
    const std::string folder = wine::freshFolder("compress-self");
    const std::string plain = sampleContent().substr(0, 100000);
    wine::writeFile(folder + "plain.bin", plain);
    ASSERT_NE(compress((folder + "plain.bin").c_str(), (folder + "packed.gz").c_str(), 6), nullptr);
    const std::string packed = wine::readFile(folder + "packed.gz");
    char shortName[MAX_PATH] = "";
    ASSERT_NE(GetShortPathNameA((folder + "packed.gz").c_str(), shortName, sizeof shortName), 0u);
    std::string upper = folder + "PLAIN.BIN";
    struct Case {
        bool expand;
        std::string source;
        std::string destination;
    };
    for (const Case &c : {Case{false, folder + "plain.bin", folder + "plain.bin"},
                          Case{false, folder + "plain.bin", upper},
                          Case{false, folder + "plain.bin", "\\\\?\\" + folder + "plain.bin"},
                          Case{true, folder + "packed.gz", folder + "packed.gz"},
                          Case{true, folder + "packed.gz", folder + "PACKED.GZ"},
                          Case{true, folder + "packed.gz", shortName}}) {
        SCOPED_TRACE(c.destination);
        const char *result = c.expand ? uncompress(c.source.c_str(), c.destination.c_str())
                                      : compress(c.source.c_str(), c.destination.c_str(), -1);
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(wine::readFile(folder + "plain.bin"), plain);
        EXPECT_EQ(wine::readFile(folder + "packed.gz"), packed);
    }

    wine::writeFile(folder + "cut.gz", packed.substr(0, packed.size() / 2));
    wine::writeFile(folder + "old.bin", "the old content");
    EXPECT_EQ(uncompress((folder + "cut.gz").c_str(), (folder + "old.bin").c_str()), nullptr);
    EXPECT_EQ(uncompress((folder + "none.gz").c_str(), (folder + "old.bin").c_str()), nullptr);
    EXPECT_EQ(wine::readFile(folder + "old.bin"), "the old content");
    EXPECT_STREQ(uncompress((folder + "packed.gz").c_str(), (folder + "old.bin").c_str()),
                 (folder + "old.bin").c_str());
    EXPECT_EQ(wine::readFile(folder + "old.bin"), plain);
    // A link left at a new name, leading where nothing is yet, is not
    // written through (Wine follows such a link when it creates a file).
    CreateDirectoryA((folder + "gone").c_str(), nullptr);
    ASSERT_TRUE(wine::makeJunction(folder + "linked.gz", folder + "gone"));
    RemoveDirectoryA((folder + "gone").c_str());
    EXPECT_EQ(compress((folder + "plain.bin").c_str(), (folder + "linked.gz").c_str(), 6), nullptr);
    EXPECT_EQ(uncompress((folder + "packed.gz").c_str(), (folder + "linked.gz").c_str()), nullptr);
    EXPECT_FALSE(wine::fileExists(folder + "gone"));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.~*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a file left beside: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
}

TEST(WineNumbers, EncodeAndDecode) {
    wine::Library library;
    auto encode = library->HKGetStringFromNumber;
    auto decode = library->HKGetNumberFromString;
    EXPECT_STREQ(encode(0), "A");
    EXPECT_STREQ(encode(1907), "BJAH");
    EXPECT_STREQ(encode(-42), "-EC");
    EXPECT_STREQ(encode(INT_MIN), "-CBEHEIDGEI");
    EXPECT_EQ(decode("BJAH"), 1907);
    EXPECT_EQ(decode("CBEHEIDGEH"), INT_MAX);
    for (const char *refused : {"bjah", "-EC", "", "CBEHEIDGEI", "AAAAAAAAAAAAAAAAAABJ"}) {
        EXPECT_EQ(decode(refused), 0) << refused;
    }
}

} // namespace
