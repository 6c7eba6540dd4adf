#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/files.h"

// What a run of zelvanto-cli returned and printed.
struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs zelvanto-cli with the arguments (shell-quoted by the caller) in the folder, with no
// standard input; stderr goes through a file in that folder.
inline CliResult RunCli(const std::filesystem::path& folder, const std::string& args) {
    const std::filesystem::path errPath = folder / "stderr.txt";
    const std::string command = "cd '" + folder.string() + "' && '" + ZELVANTO_CLI_PATH + "' " +
                                args + " 2>'" + errPath.string() + "' </dev/null";
    CliResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadFileBytes(errPath);
    return result;
}
