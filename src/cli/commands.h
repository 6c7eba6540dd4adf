#pragma once

#include <optional>
#include <string>

#include "platform/geometry.h"

// The computing commands of zelvanto-cli. Each returns the process exit status
// (0 success, 1 failure); messages of the system go to stderr through the port,
// reports of what was done go to stdout.

struct CliCommon {
    std::optional<bool> answer;  // --yes / --no
    bool progress = false;       // progress line on stderr
};

int RunSizes(int32_t width, int32_t height);
int RunTransform(const std::string& input, const std::string& output, std::optional<CSize> size,
                 const CliCommon& common);
int RunInverse(const std::string& input, const std::string& output, const CliCommon& common);
int RunConvert(const std::string& input, const std::string& output);

// "640x480" into a size; nullopt when it is not two positive numbers.
std::optional<CSize> ParseSize(const std::string& text);
