#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"
#include "stamp/restore.h"
#include "stamp/restore_request.h"

// learn-kernel: learns the blur of an example pair and writes it as a kernel file (the
// blur itself, not its inverse). Prints the kernel's size, peak and sum.
int RunLearnKernel(const std::string& good, const std::string& blurred, int32_t size,
                   const std::string& output, const CliCommon& common);

// What the restore command was given, as texts where they need parsing.
struct CRestoreCommand {
    std::string input;
    std::string output;
    std::string good, blurred, kernelPath, motion, defocus, gaussian, blur;
    std::string method = "wiener";
    std::string strength = "auto";
    int32_t iterations = 40;
    int32_t size = kDefaultKernelSize;
    bool noTaper = false;
};

// Turns the command's texts into a kernel request and settings; false with the reason in
// error when they do not make one.
bool ParseRestoreCommand(const CRestoreCommand& command, CKernelRequest& request,
                         CRestoreSettings& settings, std::string& error);

// restore: reads the picture, makes the kernel, restores and writes the result.
int RunRestore(const CRestoreCommand& command, const CliCommon& common);
