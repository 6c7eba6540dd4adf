#pragma once

#include <span>
#include <string>
#include <vector>

#include "stamp/restore_request.h"

// The sources of a restoration's kernel, one row each: the learnt example pair, a stored
// ".stp" file, motion, defocus, Gaussian, the program's blur paths and the estimate from
// the picture itself. The command line adds its options from the rows and reads them by the
// rows, the Restore dialog shows their
// captions and parameters, and MakeKernel makes the kernel by the row's function. A new
// source is one row here and its kernel function.

// A number of a source, shown in the dialog and given in its command-line option.
struct CKernelParameter {
    const char* label = "";  // the dialog's label
    int32_t decimals = 0;    // 0: a whole number
    double minimum = 0.0;    // the dialog's range
    double maximum = 0.0;
    double (*get)(const CKernelRequest& request) = nullptr;
    void (*set)(CKernelRequest& request, double value) = nullptr;
};

struct CKernelSourceRow {
    KernelSource source = KernelSource::ExamplePair;
    const char* name = "";     // a word for the source, lower case
    const char* caption = "";  // as the Restore dialog shows it
    // The command-line options that name the source: one, or two for the two files of the
    // example pair, which go together; and what each says in the help.
    std::vector<std::string> options;
    std::vector<std::string> helps;
    // File sources: the request's names the options give, in the options' order.
    std::vector<std::string CKernelRequest::*> paths;
    // Known blurs: the numbers of the one option, after the blur path's name when
    // takesPathName, separated by commas; usage says what the option takes, for its refusal.
    std::vector<CKernelParameter> parameters;
    bool takesPathName = false;
    // The estimate: its option takes a model's name (or nothing, for auto) instead of the
    // numbers; its number, the largest blur, comes from the command's --size.
    bool takesModelName = false;
    std::string usage;
    // The values' own rules, a refusal in words (empty when none applies).
    std::string (*check)(const CKernelRequest& request) = nullptr;
    // Makes the kernel of a request of this source. 1, 0 with the message shown, or
    // kRestoreCancelled.
    int (*make)(const CKernelRequest& request, CKernel& kernel,
                const RestoreProgress& progress) = nullptr;
};

// Every source, in the order the help and the dialog list them.
std::span<const CKernelSourceRow> KernelSourceRows();

// The row of a source.
const CKernelSourceRow& KernelSourceRowOf(KernelSource source);

// "--good with --blurred, --kernel, --motion, --defocus, --gaussian, --blur or --estimate":
// the options that name a kernel.
std::string KernelSourceOptionList();
