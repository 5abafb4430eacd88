#include "emulator/processes/registry_editor.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "emulator/files/file_system.h"
#include "emulator/files/files_internal.h"
#include "emulator/kernel/kernel_objects.h"
#include "emulator/registry/machine_registry.h"
#include "emulator/registry/reg_file.h"
#include "emulator/wow64/registry_views.h"

namespace emu {
namespace {

// How long the editor runs, in milliseconds of the virtual clock.
constexpr std::uint64_t kRunTime = 50;

// Splits a command line into its arguments: blanks separate them, double
// quotes group blanks into one and are dropped.
std::vector<std::string> splitArguments(const std::string &commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool inQuotes = false;
    bool inArgument = false;
    for (const char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inArgument) {
                arguments.push_back(current);
            }
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    return arguments;
}

bool isKnownSwitch(const std::string &argument) {
    const std::string name = argument.substr(1);
    return name == "s" || name == "S" || name == "i" || name == "I";
}

RegistryImport importFile(const std::string &file, bool view32) {
    RegistryImport result{file, false, {}};
    std::string host;
    std::ifstream in;
    if (hostPath(file, host)) {
        in.open(host, std::ios::binary);
    }
    if (!in.is_open() || attributesOf(host) == INVALID_FILE_ATTRIBUTES ||
        (attributesOf(host) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.problem = "cannot open the file";
        return result;
    }
    std::stringstream content;
    content << in.rdbuf();
    const RegFileParse parse = parseRegFile(content.str());
    if (!parse.valid) {
        result.problem = parse.problem;
        return result;
    }
    std::vector<RegFileOperation> operations = parse.operations;
    for (RegFileOperation &operation : operations) {
        operation.keyPath = storedKeyPath(operation.root, operation.keyPath, view32);
    }
    const std::size_t skipped = applyRegFile(registry(), operations);
    if (skipped != 0) {
        result.problem = std::to_string(skipped) + " changes refused: access denied";
        return result;
    }
    result.imported = true;
    return result;
}

} // namespace

void runRegistryEditor(const std::shared_ptr<Process> &process, const std::string &arguments,
                       bool view32) {
    std::vector<std::string> files;
    std::string problem;
    for (const std::string &argument : splitArguments(arguments)) {
        if (argument.size() > 1 && (argument[0] == '/' || argument[0] == '-')) {
            if (!isKnownSwitch(argument)) {
                problem = "unknown switch " + argument;
            }
        } else {
            files.push_back(argument);
        }
    }
    if (problem.empty() && files.empty()) {
        problem = "no file to import";
    }
    kernel().clock.schedule(kernel().clock.now() + kRunTime, [process, files, problem, view32] {
        DWORD exitCode = 0;
        if (!problem.empty()) {
            processes().registryImports.push_back(RegistryImport{"", false, problem});
            exitCode = 1;
        } else {
            for (const std::string &file : files) {
                processes().registryImports.push_back(importFile(file, view32));
                exitCode = processes().registryImports.back().imported ? exitCode : 1;
            }
        }
        endProcess(process->id, exitCode);
    });
}

} // namespace emu
