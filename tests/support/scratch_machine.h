// The machine every Linux test, fuzz target and benchmark runs on: a fresh
// emulated Windows XP machine (the host's machine new by default, without
// its extra drives) whose drive C: lies in a temporary host folder
// (in memory where the host has a memory file system, since every profile
// write is synced to disk), with the library loaded into it. The folder goes
// with the machine. Failures to set it up throw std::runtime_error.
#pragma once

#include <string>

class ScratchMachine {
public:
    // The drive folder is made in parentFolder, or in /dev/shm (else /tmp)
    // when it is empty.
    explicit ScratchMachine(const std::string &parentFolder = {});
    ~ScratchMachine();
    ScratchMachine(const ScratchMachine &) = delete;
    ScratchMachine &operator=(const ScratchMachine &) = delete;

    // Replaces the machine with a fresh one in the given ANSI code page, on
    // an emptied drive folder, and loads the library again.
    void fresh(unsigned codePage = 1252);
    // Unloads the library and loads it again, as the next installer run
    // would: what the library keeps for one load starts afresh.
    static void reloadLibrary();

    // The host folder of drive C:.
    [[nodiscard]] const std::string &driveFolder() const { return folder_; }

    // The host path of a machine path.
    static std::string hostPath(const std::string &machinePath);
    // Whole files and folders by their machine paths (folders are created).
    static void writeFile(const std::string &machinePath, const std::string &content);
    // False when the file cannot be read.
    static bool readFile(const std::string &machinePath, std::string &content);
    static bool fileExists(const std::string &machinePath);
    static void makeFolder(const std::string &machinePath);
    static void removeFile(const std::string &machinePath);

private:
    void start(unsigned codePage);

    std::string folder_;
};
