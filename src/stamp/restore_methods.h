#pragma once

#include <span>
#include <string_view>

#include "stamp/restore.h"

struct CRestoreWork;
// Restores the work domain in place: 1, 0 with a message, or kRestoreCancelled.
using RestoreRunner = int (*)(CRestoreWork& work, const CKernel& kernel,
                              const CRestoreSettings& settings, const RestoreProgress& progress,
                              CRestoreReport& report);

// The restoration methods as the command line and the Restore dialog offer them: one row a
// method, in the order shown.
struct CRestoreMethodRow {
    RestoreMethod method;
    const char* name;     // on the command line (--method NAME)
    const char* caption;  // in the dialog and the report line
    const char* help;     // one line for the command line's help
    // Whether the strength applies (else only the iterations do).
    bool hasStrength;
    bool hasIterations;
    RestoreRunner run;
};

std::span<const CRestoreMethodRow> RestoreMethods();
// The row of a method; the row of a name, or nullptr.
const CRestoreMethodRow& RestoreMethodRow(RestoreMethod method);
const CRestoreMethodRow* FindRestoreMethod(std::string_view name);
