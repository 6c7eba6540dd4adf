#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"

// One --entry of the queue command: SUFFIX=KIND[:PARAM], KIND by number or name as the
// fourier command takes it, PARAM the parameter of a distribution or X,Y of "One Frequency"
// and "Shift Picture".
struct CQueueEntryRequest {
    std::string suffix;
    int32_t kind = 0;
    std::optional<double> param;
    std::optional<int32_t> x;
    std::optional<int32_t> y;
};

// The entry, or nullopt with the reason in error.
std::optional<CQueueEntryRequest> ParseQueueEntry(const std::string& text, std::string& error);

struct CQueueRequest {
    std::vector<std::string> inputs;
    std::vector<CQueueEntryRequest> entries;
    std::optional<int32_t> format;  // 0 Jpg, 1 Bmp; unset: as the dialog starts (Bmp for .bmp)
    int32_t jobs = 0;               // pictures at once; 0: one per core
    bool threadsGiven = false;      // --threads was given: the engine keeps that count
};

// Opens every input as a document, fills its queue with the entries by the dialog's rules,
// runs the queue and prints each file written. Up to `jobs` pictures run at once, each in a
// process of its own (pictures with the same base path share their ".ft" file and run one
// after the other, in the order given); what each picture prints is passed on in the order
// of the inputs. 1 when any entry of any picture failed, after all have run.
int RunQueue(const CQueueRequest& request, std::optional<CSize> size, const CliCommon& common);
