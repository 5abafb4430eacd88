// The emulated Windows machine the in-process benchmarks run on: a Windows XP
// machine whose C: drive is a fresh temporary folder, with the library
// loaded. The folder is removed when the machine goes.
#pragma once

#include <string>

namespace bench {

class BenchMachine {
public:
    BenchMachine();
    ~BenchMachine();
    BenchMachine(const BenchMachine &) = delete;
    BenchMachine &operator=(const BenchMachine &) = delete;

    // The host path of a path on the machine.
    static std::string hostPath(const std::string &machinePath);
    // Writes a whole file by its machine path, creating its folder.
    static void writeFile(const std::string &machinePath, const std::string &content);
    // Removes a file by its machine path, if it is there.
    static void removeFile(const std::string &machinePath);
    // Unloads the library and loads it again, as the next installer run
    // would: what the library keeps for one load starts afresh.
    static void reloadLibrary();

private:
    std::string root_;
};

} // namespace bench
