#include "sample_files.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace bench {
namespace {

// A small, fast generator with a fixed seed: the same bytes on every run.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number below limit.
    std::size_t below(std::size_t limit) { return static_cast<std::size_t>(next() % limit); }
    // A number below limit, small ones far more often (as with words of a
    // language).
    std::size_t skewedBelow(std::size_t limit) {
        const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
        return static_cast<std::size_t>(u * u * u * static_cast<double>(limit));
    }

private:
    std::uint64_t state_;
};

constexpr const char *kWords[] = {
    "the",       "of",        "and",
    "to",        "a",         "in",
    "is",        "that",      "for",
    "it",        "as",        "with",
    "on",        "be",        "by",
    "this",      "are",       "or",
    "from",      "at",        "file",
    "folder",    "files",     "which",
    "not",       "an",        "project",
    "network",   "when",      "all",
    "can",       "your",      "synchronisation",
    "changes",   "has",       "was",
    "will",      "one",       "each",
    "local",     "copy",      "if",
    "server",    "cache",     "been",
    "more",      "its",       "into",
    "two-way",   "one-way",   "user",
    "other",     "service",   "settings",
    "time",      "they",      "only",
    "new",       "backup",    "provider",
    "there",     "then",      "after",
    "before",    "version",   "path",
    "drive",     "computer",  "share",
    "virtual",   "first",     "last",
    "remote",    "conflict",  "resolved",
    "between",   "while",     "agent",
    "schedule",  "transfer",  "bytes",
    "stored",    "deleted",   "renamed",
    "moved",     "updated",   "created",
    "older",     "newer",     "both",
    "sides",     "installer", "registry",
    "window",    "program",   "restart",
    "service's", "queue",     "monitor",
    "write",     "read",      "open",
    "closed",    "running",   "stopped",
    "started",   "waiting",   "system",
};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];

void appendText(Random &random, std::string &out, std::size_t size) {
    const std::size_t end = out.size() + size;
    std::size_t lineStart = out.size();
    while (out.size() < end) {
        const std::size_t sentenceWords = 5 + random.below(14);
        for (std::size_t i = 0; i < sentenceWords && out.size() < end; ++i) {
            std::string word = kWords[random.skewedBelow(kWordCount)];
            if (i == 0) {
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            }
            if (out.size() - lineStart + word.size() > 72) {
                out += '\n';
                lineStart = out.size();
            } else if (out.size() != lineStart) {
                out += ' ';
            }
            out += word;
        }
        out += random.below(8) == 0 ? ".\n\n" : ".";
        if (out.back() == '\n') {
            lineStart = out.size();
        }
    }
    out.resize(end);
}

void appendRandom(Random &random, std::string &out, std::size_t size) {
    const std::size_t start = out.size();
    out.resize(start + size);
    for (std::size_t at = start; at < out.size(); at += 8) {
        const std::uint64_t bits = random.next();
        std::memcpy(&out[at], &bits, std::min<std::size_t>(8, out.size() - at));
    }
}

// Fixed-size records as a program's data file holds them: a running number,
// a time that creeps forward, a name padded with zeros and a size.
void appendRecords(Random &random, std::string &out, std::size_t size, std::uint32_t &number) {
    const std::size_t end = out.size() + size;
    std::uint32_t time = 1141740300;
    while (out.size() < end) {
        char record[32] = {};
        ++number;
        time += static_cast<std::uint32_t>(random.below(60));
        const std::uint32_t fileSize = static_cast<std::uint32_t>(random.skewedBelow(1u << 24));
        const char *name = kWords[random.below(kWordCount)];
        std::memcpy(record, &number, 4);
        std::memcpy(record + 4, &time, 4);
        std::memcpy(record + 8, name, std::min<std::size_t>(std::strlen(name), 20));
        std::memcpy(record + 28, &fileSize, 4);
        out.append(record, sizeof record);
    }
    out.resize(end);
}

std::string generateText(std::size_t size) {
    Random random(1);
    std::string out;
    out.reserve(size);
    appendText(random, out, size);
    return out;
}

std::string generateMixed(std::size_t size) {
    Random random(2);
    std::string out;
    out.reserve(size);
    std::uint32_t recordNumber = 0;
    while (out.size() < size) {
        const std::size_t block =
            std::min<std::size_t>(4096 + random.below(61440), size - out.size());
        const std::size_t kind = random.below(20);
        if (kind < 10) {
            appendText(random, out, block);
        } else if (kind < 15) {
            appendRecords(random, out, block, recordNumber);
        } else if (kind < 19) {
            appendRandom(random, out, block);
        } else {
            out.append(block, '\0');
        }
    }
    return out;
}

std::string generateIncompressible(std::size_t size) {
    Random random(3);
    std::string out;
    appendRandom(random, out, size);
    return out;
}

} // namespace

std::vector<SampleFile> sampleFiles(std::size_t scale) {
    const auto named = [](const char *stem, std::size_t size, const char *extension) {
        const bool wholeMebibytes = size % (1u << 20) == 0;
        return std::string(stem) + "-" + std::to_string(wholeMebibytes ? size >> 20 : size >> 10) +
               (wholeMebibytes ? "MiB" : "KiB") + extension;
    };
    const std::size_t small = (std::size_t{1} << 20) / scale;
    const std::size_t large = (std::size_t{64} << 20) / scale;
    return {
        {named("text", small, ".txt"), small, generateText},
        {named("mixed", large, ".bin"), large, generateMixed},
        {named("incompressible", large, ".bin"), large, generateIncompressible},
    };
}

} // namespace bench
