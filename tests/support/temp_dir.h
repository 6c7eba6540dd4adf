#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

// A fresh folder for one test's files. The process id keeps test processes that run at
// the same time (ctest --parallel, several build folders) out of each other's way.
inline std::filesystem::path TestTempDir(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("zelvanto_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}
