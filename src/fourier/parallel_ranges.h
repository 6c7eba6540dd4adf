#pragma once

#include <cstdint>
#include <functional>

// Runs body(begin, end) over the indices 0 .. count-1, split into contiguous ranges on up
// to `threads` threads (the calling thread is one of them). Every index is handled exactly
// once, so work whose result depends only on its own index gives the same bits for any
// split. Small work (count x costPerIndex under a threshold) runs on the calling thread:
// starting threads would cost more than it saves.
void ParallelRanges(int32_t count, int32_t threads, int64_t costPerIndex,
                    const std::function<void(int32_t begin, int32_t end)>& body);
