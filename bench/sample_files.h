// The files of the gzip comparison, generated the same way on every run:
// English-like text, a mix of text, binary records, random bytes and empty
// stretches, and random bytes that no compressor can shrink.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct SampleFile {
    std::string name; // the file name, with its size in it
    std::size_t size = 0;
    std::string (*generate)(std::size_t size);
};

// The three files: 1 MiB of text, 64 MiB mixed and 64 MiB incompressible,
// each divided by scale (a scale of 1024 gives 1 KiB and 64 KiB).
std::vector<SampleFile> sampleFiles(std::size_t scale);

} // namespace bench
